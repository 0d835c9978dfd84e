#include <gtest/gtest.h>

#include "driver/control/control_device.h"
#include "driver/entry/driver_events.h"
#include "driver/filtertable/filter_table.h"
#include "tests/driver/support/driver_fixture.h"

namespace zl::drivertest {
namespace {

using zl::ndishost::kServicesRoot;
using zl::ndishost::TagFromText;

const std::string kParametersKey = std::string(kServicesRoot) + "\\VORLANEX\\Parameters";

class DriverEntryTest : public DriverTest {};

TEST_F(DriverEntryTest, StartRegistersTheFilterAndControlDeviceAndUnloadReleasesEverything) {
  LoadDriver();
  ASSERT_TRUE(host_.FilterRegistered());
  const NDIS_FILTER_DRIVER_CHARACTERISTICS& c = host_.Characteristics();
  EXPECT_EQ(c.Header.Type, 0x8B);
  EXPECT_EQ(c.Header.Revision, 2);
  EXPECT_EQ(c.Header.Size, 224);
  EXPECT_EQ(c.MajorNdisVersion, 6);
  EXPECT_EQ(c.MinorNdisVersion, 1);
  EXPECT_EQ(c.MajorDriverVersion, 1);
  EXPECT_EQ(c.MinorDriverVersion, 0);
  EXPECT_EQ(c.Flags, 0u);
  EXPECT_EQ(host_.FriendlyName(), u"Velmora HotSpot LightWeight Filter");
  EXPECT_EQ(host_.UniqueName(), u"{5cbf81bd-5055-47cd-9055-a76b2b4e3697}");
  EXPECT_EQ(host_.ServiceName(), u"VORLANEX");
  EXPECT_EQ(host_.FilterDriverContext(), host_.DriverObject());
  EXPECT_EQ(host_.SetOptionsStatus(), NDIS_STATUS_SUCCESS);
  for (auto handler : {(void*)c.AttachHandler, (void*)c.DetachHandler, (void*)c.RestartHandler, (void*)c.PauseHandler,
                       (void*)c.SendNetBufferListsHandler, (void*)c.SendNetBufferListsCompleteHandler,
                       (void*)c.CancelSendNetBufferListsHandler, (void*)c.ReceiveNetBufferListsHandler,
                       (void*)c.ReturnNetBufferListsHandler, (void*)c.OidRequestCompleteHandler,
                       (void*)c.DevicePnPEventNotifyHandler, (void*)c.NetPnPEventHandler,
                       (void*)c.SetOptionsHandler, (void*)c.SetFilterModuleOptionsHandler}) {
    EXPECT_NE(handler, nullptr);
  }
  EXPECT_EQ(c.DirectOidRequestHandler, nullptr);
  EXPECT_EQ(host_.DriverObject()->DriverUnload, &DriverUnload);

  const zl::ndishost::DeviceRegistration* device = host_.Device();
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->deviceName, u"\\Device\\VORLANEX");
  EXPECT_EQ(device->symbolicName, u"\\DosDevices\\VORLANEX");
  EXPECT_EQ(device->header.Type, 0x85);
  EXPECT_EQ(device->header.Revision, 1);
  EXPECT_EQ(device->header.Size, 56);
  EXPECT_FALSE(device->hasSecurityDescriptor);
  EXPECT_FALSE(device->hasClassGuid);
  EXPECT_EQ(device->majorFunctions[IRP_MJ_CREATE], &zl::driver::VorlanexOpenClose);
  EXPECT_EQ(device->majorFunctions[IRP_MJ_CLOSE], &zl::driver::VorlanexOpenClose);
  EXPECT_EQ(device->majorFunctions[IRP_MJ_CLEANUP], &zl::driver::VorlanexOpenClose);
  EXPECT_EQ(device->majorFunctions[IRP_MJ_DEVICE_CONTROL], &zl::driver::VorlanexControl);
  EXPECT_EQ(device->majorFunctions[IRP_MJ_INTERNAL_DEVICE_CONTROL], &zl::driver::VorlanexControl);

  // 500 records of 1546 bytes and one NBL pool, all under "NdRd".
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("NdRd")), 501);
  UnloadAndExpectClean();
  EXPECT_FALSE(host_.FilterRegistered());
  EXPECT_EQ(host_.Device(), nullptr);
}

struct ParameterCase {
  const char* name;
  bool createKey;
  std::vector<std::pair<std::string, zl::ndishost::RegistryValue>> values;
  ULONG mtuDecrement;
  ULONG startupMode;
};

zl::ndishost::RegistryValue Dword(std::uint32_t value) {
  return {REG_DWORD, {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16), std::uint8_t(value >> 24)}};
}

TEST_F(DriverEntryTest, ParametersComeFromDwordValuesUnderTheParametersKeyOnly) {
  const ParameterCase cases[] = {
      {"no Parameters key", false, {}, 0, 0},
      {"both set", true, {{"MTUDecrement", Dword(8)}, {"StartupMode", Dword(3)}}, 8, 3},
      {"names differ in case", true, {{"mtudecrement", Dword(16)}, {"STARTUPMODE", Dword(1)}}, 16, 1},
      {"only one set", true, {{"StartupMode", Dword(0x22)}}, 0, 0x22},
      {"string value ignored", true, {{"StartupMode", {REG_SZ, {'3', 0, 0, 0}}}}, 0, 0},
      {"binary value ignored", true, {{"MTUDecrement", {REG_BINARY, {8, 0, 0, 0}}}}, 0, 0},
      {"dword without data ignored", true, {{"MTUDecrement", {REG_DWORD, {}}}}, 0, 0},
  };
  for (const ParameterCase& c : cases) {
    SCOPED_TRACE(c.name);
    zl::ndishost::HostRegistry registry;
    if (c.createKey) registry.CreateKey(kParametersKey);
    for (const auto& [name, value] : c.values) registry.SetValue(kParametersKey, name, value);
    host_.Registry().SetProvider(&registry);
    LoadDriver();
    EXPECT_EQ(zl::driver::Driver.MTUDecrement, c.mtuDecrement);
    EXPECT_EQ(zl::driver::Driver.StartupMode, c.startupMode);
    UnloadAndExpectClean();
    host_.Registry().SetProvider(nullptr);
  }
}

TEST_F(DriverEntryTest, StartupModeThreeDivertsEveryFrameOfAnAdapterFromItsFirstFrame) {
  host_.Registry().SetDword(kParametersKey, "StartupMode", 3);
  LoadDriver();
  auto& adapter = AddAdapter();
  EXPECT_EQ(zl::driver::ReadModeFlags(&ModuleOf(adapter)->Queue), 3u);
  adapter.SendFromStack(Chain({EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60)}));
  adapter.ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));
  EXPECT_TRUE(adapter.TakeMiniportFrames().empty());
  EXPECT_TRUE(adapter.TakeStackFrames().empty());
  EXPECT_EQ(Queued(adapter), 2u);
  ExpectRecordsConserved();
}

struct StartFailureCase {
  const char* name;
  std::function<void(zl::ndishost::KernelHost&)> inject;
  NTSTATUS expected;
};

TEST_F(DriverEntryTest, EveryFailedStartLeavesNothingRegisteredOrAllocated) {
  const StartFailureCase cases[] = {
      {"137th record allocation",
       [](auto& host) { host.Pools().FailAllocationNumber(TagFromText("NdRd"), 137); }, STATUS_UNSUCCESSFUL},
      {"first record allocation",
       [](auto& host) { host.Pools().FailAllocationNumber(TagFromText("NdRd"), 1); }, STATUS_UNSUCCESSFUL},
      {"filter registration", [](auto& host) { host.FailFilterRegistration(NDIS_STATUS_RESOURCES); },
       NDIS_STATUS_RESOURCES},
      {"NBL pool", [](auto& host) { host.FailNblPoolAllocation(true); }, STATUS_INSUFFICIENT_RESOURCES},
      {"control device", [](auto& host) { host.FailDeviceRegistration(NDIS_STATUS_FAILURE); }, NDIS_STATUS_FAILURE},
  };
  for (const StartFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    // Modules attached while registration runs must be gone again as well.
    host_.BindDuringRegistration(true);
    auto& adapter = AddAdapter();
    c.inject(host_);
    EXPECT_EQ(LoadDriver(false), c.expected);
    EXPECT_FALSE(host_.DriverLoaded());
    EXPECT_FALSE(host_.FilterRegistered());
    EXPECT_EQ(host_.Device(), nullptr);
    EXPECT_FALSE(adapter.Bound());
    EXPECT_EQ(host_.Pools().Leaks(), std::vector<std::string>{});
    host_.FailNblPoolAllocation(false);
    host_.RemoveAdapter(adapter);
  }
}

TEST_F(DriverEntryTest, AModuleStartedBeforeThePoolExistsNeverReinjects) {
  // Registration binds the adapter at once; its first frames arrive from inside
  // the registration, before start has created the NBL pool.
  host_.BindDuringRegistration(true);
  auto& adapter = AddAdapter();
  host_.SetRegistrationBindHook([&] {
    ASSERT_TRUE(adapter.Bound());
    adapter.SendFromStack(Chain({EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60)}));
    adapter.ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));
  });
  LoadDriver();
  EXPECT_TRUE(adapter.TakeMiniportFrames().empty());
  EXPECT_TRUE(adapter.TakeStackFrames().empty());
  EXPECT_EQ(adapter.TakeSendCompletions(), std::vector<NDIS_STATUS>{NDIS_STATUS_SUCCESS});
  EXPECT_EQ(adapter.MiniportListsOutstanding(), 0);
  ExpectRecordsConserved();

  // Once start has finished, frames flow.
  adapter.SendFromStack(Chain({EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60)}));
  EXPECT_EQ(adapter.TakeMiniportFrames().size(), 1u);
}

TEST_F(DriverEntryTest, SetOptionsAcceptsOnlyTheFilterHandleWithTheDriverObject) {
  LoadDriver();
  auto* setOptions = host_.Characteristics().SetOptionsHandler;
  NDIS_HANDLE handle = host_.FilterDriverHandle();
  int other = 0;
  EXPECT_EQ(setOptions(handle, host_.DriverObject()), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(setOptions(&other, host_.DriverObject()), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(setOptions(handle, &other), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(host_.Characteristics().SetFilterModuleOptionsHandler(&other), NDIS_STATUS_SUCCESS);
}

TEST_F(DriverEntryTest, ClosingTheLastHandleResetsModesQueuesAndTheTable) {
  LoadDriver();
  auto& adapter = AddAdapter();
  const auto open = [&] { return host_.SendDeviceRequest(IRP_MJ_CREATE, 0, {}, 0); };
  const auto close = [&] {
    host_.SendDeviceRequest(IRP_MJ_CLEANUP, 0, {}, 0);
    return host_.SendDeviceRequest(IRP_MJ_CLOSE, 0, {}, 0);
  };
  EXPECT_EQ(open().status, STATUS_SUCCESS);
  EXPECT_EQ(open().status, STATUS_SUCCESS);
  SetMode(adapter, 0x03);
  adapter.ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));
  const Bytes table = TableOf({MakeRule(3, zl::driver::FILTER_ACTION_DIVERT)});
  ASSERT_EQ(zl::driver::InstallFilterTable(table.data(), ULONG(table.size())), STATUS_SUCCESS);

  auto result = close();
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.status, STATUS_SUCCESS);
  EXPECT_EQ(zl::driver::ReadModeFlags(&ModuleOf(adapter)->Queue), 0x03u);
  EXPECT_EQ(Queued(adapter), 1u);
  EXPECT_EQ(zl::driver::InstalledRuleCount(), 1u);

  close();
  EXPECT_EQ(zl::driver::ReadModeFlags(&ModuleOf(adapter)->Queue), 0u);
  EXPECT_EQ(Queued(adapter), 0u);
  EXPECT_EQ(zl::driver::InstalledRuleCount(), 0u);
  ExpectRecordsConserved();
}

TEST_F(DriverEntryTest, ControlRequestsWithoutFileObjectFailUnsuccessfulAndOthersAreRefused) {
  LoadDriver();
  auto withoutFile = host_.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, 0x830020C0, {}, 4, false);
  EXPECT_EQ(withoutFile.status, STATUS_UNSUCCESSFUL);
  EXPECT_EQ(withoutFile.information, 0u);
  auto unknown = host_.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, 0x83002200, {}, 4);
  EXPECT_EQ(unknown.status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(unknown.information, 0u);
}

TEST_F(DriverEntryTest, UnloadWithQueuedRecordsTableAndEventsLeavesNoAllocationOrReference) {
  LoadDriver();
  auto& first = AddAdapter("{00000000-0000-0000-0000-0000000000A1}");
  auto& second = AddAdapter("{00000000-0000-0000-0000-0000000000A2}");
  SetMode(first, 0x03);
  SetMode(second, 0x03);
  PKEVENT packetEvent = host_.CreateEvent();
  PKEVENT listEvent = host_.CreateEvent();
  ObReferenceObject(packetEvent);
  ObReferenceObject(listEvent);
  zl::driver::ReplacePacketEvent(&ModuleOf(first)->Queue, packetEvent);
  zl::driver::ReplaceAdapterListChangeEvent(listEvent);
  for (int i = 0; i < 10; ++i) {
    first.ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 100)}));
    second.SendFromStack(Chain({EthernetFrame(kClientMac, kAdapterMac, 0x0800, 100)}));
  }
  const Bytes table = TableOf({MakeRule(3, zl::driver::FILTER_ACTION_DIVERT)});
  ASSERT_EQ(zl::driver::InstallFilterTable(table.data(), ULONG(table.size())), STATUS_SUCCESS);
  EXPECT_EQ(QueuedEverywhere(), 20u);

  UnloadAndExpectClean();
  EXPECT_EQ(host_.EventReferences(packetEvent), 1);
  EXPECT_EQ(host_.EventReferences(listEvent), 1);
  EXPECT_EQ(host_.EventSignals(packetEvent), 10);
}

}  // namespace
}  // namespace zl::drivertest
