#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "driver/datapath/reinject.h"
#include "driver/entry/driver_events.h"
#include "driver/modules/module_list.h"
#include "driver/modules/own_oid_request.h"
#include "tests/driver/support/driver_fixture.h"

namespace zl::drivertest {
namespace {

using zl::driver::AdapterList;
using zl::ndishost::TagFromText;

const std::string kParametersKey = std::string(zl::ndishost::kServicesRoot) + "\\VORLANEX\\Parameters";

class ModuleTest : public DriverTest {
 protected:
  std::unique_ptr<AdapterList> List() {
    auto list = std::make_unique<AdapterList>();
    std::memset(list.get(), 0xCC, sizeof *list);
    zl::driver::FillAdapterList(list.get());
    return list;
  }
  static ULONG64 HandleOf(zl::ndishost::EmulatedAdapter& adapter) {
    return ULONG64(reinterpret_cast<ULONG_PTR>(adapter.ModuleContext()));
  }
  PKEVENT WatchAdapterList() {
    PKEVENT event = host_.CreateEvent();
    ObReferenceObject(event);
    zl::driver::ReplaceAdapterListChangeEvent(event);
    return event;
  }
};

TEST_F(ModuleTest, AttachedAdaptersAreListedNewestFirstWithNameMediumAddressHandleAndMtu) {
  LoadDriver();
  auto& ethernet = host_.AddAdapter(AdapterNamed("{A1}", NdisMedium802_3, {1, 2, 3, 4, 5, 6}));
  auto& wan = host_.AddAdapter(AdapterNamed("{B2}", NdisMediumWan, {7, 8, 9, 10, 11, 12}));
  auto& noAddress = host_.AddAdapter(AdapterNamed("{C3}", NdisMedium802_3, {}));

  auto list = List();
  ASSERT_EQ(ULONG(list->Count), 3u);
  EXPECT_STREQ(list->Name[0], "\\DEVICE\\{C3}");
  EXPECT_STREQ(list->Name[1], "\\DEVICE\\{B2}");
  EXPECT_STREQ(list->Name[2], "\\DEVICE\\{A1}");
  EXPECT_EQ(ULONG64(list->Handle[0]), HandleOf(noAddress));
  EXPECT_EQ(ULONG64(list->Handle[1]), HandleOf(wan));
  EXPECT_EQ(ULONG64(list->Handle[2]), HandleOf(ethernet));
  EXPECT_EQ(ULONG(list->Medium[1]), ULONG(NdisMediumWan));
  EXPECT_EQ(ULONG(list->Medium[2]), ULONG(NdisMedium802_3));
  EXPECT_EQ(Bytes(list->Address[0], list->Address[0] + 6), Bytes(6, 0));
  // A WAN adapter reports its WAN local address, filled from attach.
  EXPECT_EQ(Bytes(list->Address[1], list->Address[1] + 6), (Bytes{7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(Bytes(list->Address[2], list->Address[2] + 6), (Bytes{1, 2, 3, 4, 5, 6}));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(USHORT(list->Mtu[i]), 1500);
  // The rest of every name and every unused entry is zero.
  EXPECT_EQ(list->Name[0][255], 0);
  EXPECT_EQ(ULONG64(list->Handle[3]), 0u);
  EXPECT_EQ(list->Name[3][0], 0);
  EXPECT_EQ(USHORT(list->Mtu[31]), 0);
}

TEST_F(ModuleTest, OnlyTheThirtyTwoMostRecentlyAttachedOfThirtyThreeAreListed) {
  LoadDriver();
  std::vector<zl::ndishost::EmulatedAdapter*> adapters;
  for (int i = 0; i < 33; ++i) adapters.push_back(&AddAdapter("{" + std::to_string(i) + "}"));
  auto list = List();
  ASSERT_EQ(ULONG(list->Count), 32u);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(ULONG64(list->Handle[i]), HandleOf(*adapters[32 - i]));
}

TEST_F(ModuleTest, ADeviceNameLongerThan255CharactersIsCutAndTerminated) {
  LoadDriver();
  const std::string guid(300, 'x');
  host_.AddAdapter(AdapterNamed(guid));
  auto list = List();
  ASSERT_EQ(ULONG(list->Count), 1u);
  EXPECT_EQ(std::strlen(list->Name[0]), 255u);
  EXPECT_EQ(std::string(list->Name[0], 8), "\\DEVICE\\");
}

TEST_F(ModuleTest, TheTemporaryListFailingGivesAnAllZeroList) {
  LoadDriver();
  AddAdapter();
  host_.Pools().FailAllocationNumber(TagFromText("NdRd"), 1);
  auto list = List();
  EXPECT_EQ(std::vector<std::uint8_t>(reinterpret_cast<std::uint8_t*>(list.get()),
                                      reinterpret_cast<std::uint8_t*>(list.get()) + sizeof(AdapterList)),
            std::vector<std::uint8_t>(sizeof(AdapterList), 0));
}

struct RestartCase {
  ULONG adapterMtu;
  ULONG mtuDecrement;
  ULONG seenAbove;
  USHORT listed;
};

TEST_F(ModuleTest, RestartCapsTheMtuLowersItByTheDecrementAndSwitchesOffloadsOff) {
  const RestartCase cases[] = {
      {9000, 0, 1500, 1500},
      {1500, 8, 1492, 1500},
      {1400, 100, 1300, 1400},
      // The decrement never wraps a size around nor takes it below 576.
      {1500, 2000, 576, 1500},
      {600, 100, 576, 600},
      {500, 8, 500, 500},
  };
  for (const RestartCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.adapterMtu) + " less " + std::to_string(c.mtuDecrement));
    host_.Registry().SetDword(kParametersKey, "MTUDecrement", c.mtuDecrement);
    LoadDriver();
    auto config = AdapterNamed("{A1}");
    config.mtu = c.adapterMtu;
    auto& adapter = host_.AddAdapter(config);
    const auto above = adapter.AttributesSeenAbove();
    ASSERT_TRUE(above.has_value());
    EXPECT_EQ(above->MtuSize, c.seenAbove);
    EXPECT_EQ(above->LookaheadSize, 128u);
    EXPECT_EQ(USHORT(List()->Mtu[0]), c.listed);

    const auto requests = adapter.TakeOidRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].type, NdisRequestSetInformation);
    EXPECT_EQ(requests[0].oid, ULONG(OID_TCP_OFFLOAD_PARAMETERS));
    const Bytes expected = {0x80, 1, 20, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(requests[0].data, expected);
    UnloadAndExpectClean();
    host_.RemoveAdapter(adapter);
  }
}

TEST_F(ModuleTest, RestartWithoutAttributesKeepsTheMtuAndIssuesNoRequest) {
  LoadDriver();
  auto& adapter = host_.AddAdapter(AdapterNamed("{A1}"), false);
  ASSERT_EQ(host_.Attach(adapter), NDIS_STATUS_SUCCESS);
  ASSERT_EQ(host_.Restart(adapter, false), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(USHORT(List()->Mtu[0]), 0);
  EXPECT_TRUE(adapter.TakeOidRequests().empty());
  ASSERT_EQ(host_.Pause(adapter), NDIS_STATUS_SUCCESS);
  ASSERT_EQ(host_.Restart(adapter, true), NDIS_STATUS_SUCCESS);
  ASSERT_EQ(host_.Pause(adapter), NDIS_STATUS_SUCCESS);
  ASSERT_EQ(host_.Restart(adapter, false), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(USHORT(List()->Mtu[0]), 1500);
  EXPECT_EQ(adapter.TakeOidRequests().size(), 1u);
}

TEST_F(ModuleTest, AFailedOffloadRequestLeavesTheAdapterRunning) {
  LoadDriver();
  auto& adapter = host_.AddAdapter(AdapterNamed("{A1}"), false);
  adapter.SetOidResponder([](NDIS_OID_REQUEST&) { return NDIS_STATUS_NOT_SUPPORTED; });
  ASSERT_EQ(host_.Attach(adapter), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(host_.Restart(adapter), NDIS_STATUS_SUCCESS);
  EXPECT_NE(zl::driver::LookupAdapter(HandleOf(adapter)), nullptr);
  zl::driver::ReleaseAdapter(ModuleOf(adapter));
}

TEST_F(ModuleTest, AttachFailuresReturnTheirStatusAndLeaveNoRecord) {
  LoadDriver();
  auto& adapter = host_.AddAdapter(AdapterNamed("{A1}"), false);
  const auto& characteristics = host_.Characteristics();
  NDIS_FILTER_ATTACH_PARAMETERS parameters = {};
  parameters.BaseMiniportName = const_cast<PNDIS_STRING>(adapter.DeviceName());
  int otherContext = 0;
  EXPECT_EQ(characteristics.AttachHandler(&adapter, &otherContext, &parameters), STATUS_INVALID_PARAMETER);

  host_.Pools().FailAllocationNumber(TagFromText("Filt"), 1);
  EXPECT_EQ(host_.Attach(adapter), NDIS_STATUS_RESOURCES);
  host_.FailSetAttributes(NDIS_STATUS_FAILURE);
  EXPECT_EQ(host_.Attach(adapter), NDIS_STATUS_FAILURE);
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("Filt")), 0);
  EXPECT_EQ(ULONG(List()->Count), 0u);

  EXPECT_EQ(host_.Attach(adapter), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(ULONG(List()->Count), 1u);
}

TEST_F(ModuleTest, LookupFindsOnlyListedRunningModules) {
  LoadDriver();
  auto& adapter = AddAdapter();
  const ULONG64 handle = HandleOf(adapter);
  zl::driver::FilterModule* found = zl::driver::LookupAdapter(handle);
  EXPECT_EQ(found, ModuleOf(adapter));
  zl::driver::ReleaseAdapter(found);
  EXPECT_EQ(zl::driver::LookupAdapter(handle + 8), nullptr);
  EXPECT_EQ(zl::driver::LookupAdapter(0), nullptr);

  host_.Pause(adapter);
  EXPECT_EQ(zl::driver::LookupAdapter(handle), nullptr);
  EXPECT_EQ(ULONG(List()->Count), 1u);  // a paused adapter is still listed
  host_.Restart(adapter);
  EXPECT_NE(zl::driver::LookupAdapter(handle), nullptr);
  zl::driver::ReleaseAdapter(ModuleOf(adapter));
  EXPECT_EQ(LONG(ModuleOf(adapter)->References), 0);
}

TEST_F(ModuleTest, DetachReturnsQueuedRecordsRefusesTheHandleAndSignalsTheListChange) {
  LoadDriver();
  PKEVENT listChanged = WatchAdapterList();
  auto& adapter = AddAdapter();
  EXPECT_EQ(host_.EventSignals(listChanged), 1);
  const ULONG64 handle = HandleOf(adapter);
  SetMode(adapter, 0x02);
  PKEVENT packetEvent = host_.CreateEvent();
  ObReferenceObject(packetEvent);
  zl::driver::ReplacePacketEvent(&ModuleOf(adapter)->Queue, packetEvent);
  adapter.ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60),
                                     EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));
  EXPECT_EQ(zl::driver::FreeRecordCount(), 498u);

  host_.Pause(adapter);
  host_.Restart(adapter);
  EXPECT_EQ(host_.EventSignals(listChanged), 1);  // not on pause or restart
  EXPECT_EQ(Queued(adapter), 2u);                 // records stay queued across pause and restart

  host_.Pause(adapter);
  host_.Detach(adapter);
  EXPECT_EQ(host_.EventSignals(listChanged), 2);
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
  EXPECT_EQ(zl::driver::LookupAdapter(handle), nullptr);
  EXPECT_EQ(ULONG(List()->Count), 0u);
  EXPECT_EQ(host_.EventReferences(packetEvent), 1);
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("Filt")), 0);
}

TEST_F(ModuleTest, PauseWaitsInThirtyMillisecondStepsForOutstandingSends) {
  LoadDriver();
  auto& adapter = AddAdapter();
  adapter.HoldSends(true);
  adapter.SendFromStack(Chain({EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60)}));
  ASSERT_EQ(adapter.ListsAtMiniport(), 1);
  int delays = 0;
  host_.SetDelayHook([&] {
    if (++delays == 3) adapter.CompleteHeldSends();
  });
  const auto before = clock_.Now();
  host_.Pause(adapter);
  EXPECT_EQ(delays, 3);
  EXPECT_EQ(clock_.Now() - before, std::chrono::milliseconds(90));
  EXPECT_EQ(LONG(ModuleOf(adapter)->OutstandingSends), 0);
  // A paused module refuses to re-inject.
  zl::driver::PacketRecord record{};
  record.Length = 60;
  EXPECT_FALSE(zl::driver::SendRecord(ModuleOf(adapter), &record));
  EXPECT_FALSE(zl::driver::IndicateRecord(ModuleOf(adapter), &record));
  host_.SetDelayHook(nullptr);
}

TEST_F(ModuleTest, DetachWaitsUntilARequestHoldingTheModuleHasFinished) {
  LoadDriver();
  auto& adapter = AddAdapter();
  zl::driver::FilterModule* module = zl::driver::LookupAdapter(HandleOf(adapter));
  ASSERT_NE(module, nullptr);
  int delays = 0;
  host_.SetDelayHook([&] {
    // The request still sees a valid record while detach waits.
    EXPECT_EQ(module->Medium, ULONG(NdisMedium802_3));
    if (++delays == 2) zl::driver::ReleaseAdapter(module);
  });
  host_.Pause(adapter);
  host_.Detach(adapter);
  EXPECT_EQ(delays, 2);
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("Filt")), 0);
  host_.SetDelayHook(nullptr);
}

TEST_F(ModuleTest, OwnRequestsStillPendingAtDetachAreReleasedWithTheModule) {
  LoadDriver();
  auto& adapter = host_.AddAdapter(AdapterNamed("{A1}"), false);
  adapter.HoldOidRequests(true);
  host_.Attach(adapter);
  host_.Restart(adapter);
  host_.Pause(adapter);
  host_.Restart(adapter);
  EXPECT_EQ(adapter.TakeOidRequests().size(), 2u);
  // 500 records, the NBL pool and two own requests.
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("NdRd")), 503);
  UnloadAndExpectClean();
}

TEST_F(ModuleTest, APendedOwnRequestIsFreedWhenItCompletes) {
  LoadDriver();
  auto& adapter = host_.AddAdapter(AdapterNamed("{A1}"), false);
  adapter.HoldOidRequests(true);
  host_.Attach(adapter);
  host_.Restart(adapter);
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("NdRd")), 502);
  EXPECT_EQ(adapter.CompleteHeldOidRequests(NDIS_STATUS_SUCCESS), 1u);
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("NdRd")), 501);
}

struct AdjustCase {
  NDIS_OID oid;
  USHORT answered;
  ULONG mtuDecrement;
  USHORT passedOn;
  USHORT listedMtu;
};

TEST_F(ModuleTest, SuccessfulSizeResultsAreCappedAndLoweredAndTheAddressFollowed) {
  const AdjustCase cases[] = {
      {OID_GEN_MAXIMUM_FRAME_SIZE, 9000, 0, 1500, 1500},
      {OID_GEN_MAXIMUM_FRAME_SIZE, 1500, 8, 1492, 1500},
      {OID_GEN_MAXIMUM_TOTAL_SIZE, 1518, 8, 1506, 1500},
      {OID_GEN_MAXIMUM_TOTAL_SIZE, 1514, 2000, 590, 1500},
  };
  for (const AdjustCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.oid) + " " + std::to_string(c.answered));
    host_.Registry().SetDword(kParametersKey, "MTUDecrement", c.mtuDecrement);
    LoadDriver();
    auto& adapter = AddAdapter();
    NDIS_OID_REQUEST request = {};
    request.RequestType = NdisRequestQueryInformation;
    request.DATA.QUERY_INFORMATION.Oid = c.oid;
    USHORT value[2] = {c.answered, 0};
    request.DATA.QUERY_INFORMATION.InformationBuffer = value;
    request.DATA.QUERY_INFORMATION.InformationBufferLength = sizeof value;
    zl::driver::AdjustOidResult(ModuleOf(adapter), &request);
    EXPECT_EQ(value[0], c.passedOn);
    EXPECT_EQ(USHORT(List()->Mtu[0]), c.listedMtu);
    UnloadAndExpectClean();
    host_.RemoveAdapter(adapter);
  }
  LoadDriver();
  auto& adapter = AddAdapter();
  NDIS_OID_REQUEST request = {};
  request.DATA.QUERY_INFORMATION.Oid = OID_802_3_CURRENT_ADDRESS;
  UCHAR address[6] = {9, 8, 7, 6, 5, 4};
  request.DATA.QUERY_INFORMATION.InformationBuffer = address;
  request.DATA.QUERY_INFORMATION.InformationBufferLength = 6;
  zl::driver::AdjustOidResult(ModuleOf(adapter), &request);
  auto list = List();
  EXPECT_EQ(Bytes(list->Address[0], list->Address[0] + 6), (Bytes{9, 8, 7, 6, 5, 4}));
}

TEST_F(ModuleTest, PnPEventsAndSendCancellationsAreForwardedUnchanged) {
  LoadDriver();
  auto& adapter = AddAdapter();
  NET_DEVICE_PNP_EVENT deviceEvent = {};
  deviceEvent.DevicePnPEvent = 7;
  adapter.DeliverDevicePnPEvent(deviceEvent);
  EXPECT_EQ(adapter.TakeDevicePnPEvents(), std::vector<ULONG>{7});
  NET_PNP_EVENT_NOTIFICATION netEvent = {};
  netEvent.NetEvent = 4;
  adapter.SetNetPnPAnswer(NDIS_STATUS_NOT_SUPPORTED);
  EXPECT_EQ(adapter.DeliverNetPnPEvent(netEvent), NDIS_STATUS_NOT_SUPPORTED);
  EXPECT_EQ(adapter.TakeNetPnPEvents(), std::vector<ULONG>{4});
  int cancelId = 0;
  adapter.CancelSend(&cancelId);
  EXPECT_EQ(adapter.TakeCancelIds(), std::vector<PVOID>{&cancelId});
}

}  // namespace
}  // namespace zl::drivertest
