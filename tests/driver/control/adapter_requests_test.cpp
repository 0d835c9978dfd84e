// Modes, queues, packet events, the driver-wide events, the filter table and the
// open handles, as clients reach them through the control device.
#include "driver/datapath/record_pool.h"
#include "tests/driver/control/control_fixture.h"

namespace zl::drivertest {
namespace {

class AdapterRequestsTest : public ControlTest {
 protected:
  NTSTATUS SetModeByRequest(std::uint64_t adapter, std::uint32_t flags) {
    return Control(vx::IOCTL_VORLANEX_SET_ADAPTER_MODE, BytesOf(vx::AdapterModeRequest{adapter, flags}), 0).status;
  }
  std::uint32_t ModeByRequest(std::uint64_t adapter) {
    const auto result = Control(vx::IOCTL_VORLANEX_GET_ADAPTER_MODE, BytesOf(vx::AdapterModeRequest{adapter, 0}), 12);
    EXPECT_EQ(result.status, STATUS_SUCCESS);
    return ValueAt<std::uint32_t>(result.buffer, 8);
  }
  std::uint32_t QueueSize() {
    const auto result = Control(vx::IOCTL_VORLANEX_GET_QUEUE_SIZE, BytesOf(vx::AdapterRequest{handle_}), 4);
    EXPECT_EQ(result.status, STATUS_SUCCESS);
    return ValueAt<std::uint32_t>(result.buffer);
  }
  NTSTATUS SetPacketEventByRequest(std::uint64_t event) {
    return Control(vx::IOCTL_VORLANEX_SET_PACKET_EVENT, BytesOf(vx::AdapterEventRequest{handle_, event}), 0).status;
  }
};

TEST_F(AdapterRequestsTest, TheVersionIs01083000) {
  const auto result = Control(vx::IOCTL_VORLANEX_GET_VERSION, {}, 4);
  EXPECT_EQ(ValueAt<std::uint32_t>(result.buffer), 0x01083000u);
}

TEST_F(AdapterRequestsTest, TheAdapterListNamesTheRunningAdapterByItsHandle) {
  const auto result = Control(vx::IOCTL_VORLANEX_GET_ADAPTER_LIST, {}, sizeof(vx::AdapterList));
  ASSERT_EQ(result.status, STATUS_SUCCESS);
  const auto list = ValueAt<vx::AdapterList>(result.buffer);
  EXPECT_EQ(std::uint32_t(list.Count), 1u);
  EXPECT_EQ(std::uint64_t(list.Handle[0]), handle_);
  EXPECT_STREQ(list.Name[0], "\\DEVICE\\{00000000-0000-0000-0000-0000000000A1}");
}

TEST_F(AdapterRequestsTest, ModesAreStoredUnchangedAndReadBackIntoTheRequest) {
  for (std::uint32_t flags : {0x00u, 0x03u, 0x7Fu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(flags);
    EXPECT_EQ(SetModeByRequest(handle_, flags), STATUS_SUCCESS);
    EXPECT_EQ(ModeByRequest(handle_), flags);
  }
  SetModeByRequest(handle_, vx::MODE_DIVERT_INBOUND);
  adapter_->ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));
  EXPECT_EQ(QueueSize(), 1u);
  EXPECT_TRUE(adapter_->TakeStackFrames().empty());
}

TEST_F(AdapterRequestsTest, AFlushReturnsEveryQueuedRecordAndKeepsTheMode) {
  QueueInbound(std::vector<Bytes>(3, EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)));
  SetModeByRequest(handle_, 0x03);
  EXPECT_EQ(QueueSize(), 3u);
  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_FLUSH_ADAPTER_QUEUE, BytesOf(vx::AdapterRequest{handle_}), 0).status,
            STATUS_SUCCESS);
  EXPECT_EQ(QueueSize(), 0u);
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
  EXPECT_EQ(ModeByRequest(handle_), 0x03u);
}

TEST_F(AdapterRequestsTest, APacketEventIsSignalledPerQueuedFrameReplacedAndReleased) {
  PKEVENT first = host_.CreateEvent();
  PKEVENT second = host_.CreateEvent();
  const std::uint64_t firstHandle = host_.Caller().OpenHandle(first);
  const std::uint64_t secondHandle = host_.Caller().OpenHandle(second);

  ASSERT_EQ(SetPacketEventByRequest(firstHandle), STATUS_SUCCESS);
  EXPECT_EQ(host_.EventReferences(first), 2);
  QueueInbound({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)});
  EXPECT_EQ(host_.EventSignals(first), 1);

  ASSERT_EQ(SetPacketEventByRequest(secondHandle), STATUS_SUCCESS);
  EXPECT_EQ(host_.EventReferences(first), 1);
  EXPECT_EQ(host_.EventReferences(second), 2);

  // A handle that names nothing leaves the adapter without an event.
  EXPECT_EQ(SetPacketEventByRequest(0x7777), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(host_.EventReferences(second), 1);
  QueueInbound({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)});
  EXPECT_EQ(host_.EventSignals(second), 0);

  ASSERT_EQ(SetPacketEventByRequest(secondHandle), STATUS_SUCCESS);
  EXPECT_EQ(SetPacketEventByRequest(0), STATUS_SUCCESS);
  EXPECT_EQ(host_.EventReferences(second), 1);
}

struct DriverEventCase {
  const char* name;
  std::uint32_t code;
};

TEST_F(AdapterRequestsTest, TheDriverWideEventsAreReplacedAndSignalled) {
  const DriverEventCase cases[] = {{"WAN event", vx::IOCTL_VORLANEX_SET_WAN_EVENT},
                                   {"adapter list event", vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT}};
  for (const DriverEventCase& c : cases) {
    SCOPED_TRACE(c.name);
    PKEVENT first = host_.CreateEvent();
    PKEVENT second = host_.CreateEvent();
    const auto set = [&](std::uint64_t handle) { return Control(c.code, BytesOf(vx::EventRequest{handle}), 0).status; };
    const auto signal = [&] {
      if (c.code == vx::IOCTL_VORLANEX_SET_WAN_EVENT) {
        zl::driver::SignalWanEvent();
      } else {
        zl::driver::SignalAdapterListChange();
      }
    };
    ASSERT_EQ(set(host_.Caller().OpenHandle(first)), STATUS_SUCCESS);
    signal();
    EXPECT_EQ(host_.EventSignals(first), 1);
    ASSERT_EQ(set(host_.Caller().OpenHandle(second)), STATUS_SUCCESS);
    EXPECT_EQ(host_.EventReferences(first), 1);
    signal();
    EXPECT_EQ(host_.EventSignals(first), 1);
    EXPECT_EQ(host_.EventSignals(second), 1);
    // A bad handle empties the slot and fails; a zero handle empties it and succeeds.
    EXPECT_EQ(set(0x7777), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(host_.EventReferences(second), 1);
    signal();
    EXPECT_EQ(host_.EventSignals(second), 1);
    ASSERT_EQ(set(host_.Caller().OpenHandle(second)), STATUS_SUCCESS);
    EXPECT_EQ(set(0), STATUS_SUCCESS);
    EXPECT_EQ(host_.EventReferences(second), 1);
  }
}

TEST_F(AdapterRequestsTest, TheListEventIsSignalledWhenAnAdapterAttachesAndDetaches) {
  PKEVENT event = host_.CreateEvent();
  ASSERT_EQ(Control(vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT, BytesOf(vx::EventRequest{host_.Caller().OpenHandle(event)}), 0)
                .status,
            STATUS_SUCCESS);
  auto& second = AddAdapter("{B2}");
  EXPECT_EQ(host_.EventSignals(event), 1);
  host_.RemoveAdapter(second);
  EXPECT_EQ(host_.EventSignals(event), 2);
}

// The table is reported over the whole output the caller gave; what the table
// does not fill must not carry stale kernel memory.
TEST_F(AdapterRequestsTest, TableReadsFillTheWholeReportedOutput) {
  auto result = Control(vx::IOCTL_VORLANEX_GET_FILTER_TABLE, {}, 64);
  ASSERT_EQ(result.status, STATUS_SUCCESS);
  EXPECT_EQ(result.buffer, Bytes(64, 0));

  const Bytes table = TableOf({MakeRule(3, zl::driver::FILTER_ACTION_DROP)});
  ASSERT_EQ(Control(vx::IOCTL_VORLANEX_SET_FILTER_TABLE, table, 0).status, STATUS_SUCCESS);
  EXPECT_EQ(ValueAt<std::uint32_t>(Control(vx::IOCTL_VORLANEX_GET_FILTER_TABLE_SIZE, {}, 4).buffer), 1u);
  adapter_->ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));
  SetModeByRequest(handle_, vx::MODE_DIVERT_INBOUND);
  adapter_->ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));

  result = Control(vx::IOCTL_VORLANEX_GET_FILTER_TABLE_RESET_STATS, {}, 200);
  ASSERT_EQ(result.status, STATUS_SUCCESS);
  EXPECT_EQ(result.information, 200u);
  EXPECT_EQ(ValueAt<vx::FilterRule>(result.buffer, 4).Packets, 1u);
  EXPECT_EQ(Bytes(result.buffer.begin() + 120, result.buffer.end()), Bytes(80, 0));
  result = Control(vx::IOCTL_VORLANEX_GET_FILTER_TABLE, {}, 120);
  EXPECT_EQ(ValueAt<vx::FilterRule>(result.buffer, 4).Packets, 0u);

  ASSERT_EQ(Control(vx::IOCTL_VORLANEX_RESET_FILTER_TABLE, {}, 0).status, STATUS_SUCCESS);
  EXPECT_EQ(zl::driver::InstalledRuleCount(), 0u);
}

TEST_F(AdapterRequestsTest, ClosingOneOfTwoHandlesChangesNothingAndClosingTheLastResetsEverything) {
  UnloadDriver();
  host_.Registry().SetDword(std::string(zl::ndishost::kServicesRoot) + "\\VORLANEX\\Parameters", "StartupMode", 0x08);
  LoadDriver();
  handle_ = HandleOf(*adapter_);
  EXPECT_EQ(ModeByRequest(handle_), 0x08u);
  ASSERT_EQ(Open().status, STATUS_SUCCESS);
  ASSERT_EQ(Open().status, STATUS_SUCCESS);
  auto& second = AddAdapter("{B2}");
  const std::uint64_t secondHandle = HandleOf(second);
  PKEVENT packetEvent = host_.CreateEvent();
  PKEVENT wanEvent = host_.CreateEvent();
  ASSERT_EQ(SetPacketEventByRequest(host_.Caller().OpenHandle(packetEvent)), STATUS_SUCCESS);
  ASSERT_EQ(Control(vx::IOCTL_VORLANEX_SET_WAN_EVENT, BytesOf(vx::EventRequest{host_.Caller().OpenHandle(wanEvent)}), 0)
                .status,
            STATUS_SUCCESS);
  SetModeByRequest(handle_, 0x03);
  SetModeByRequest(secondHandle, 0x02);
  adapter_->ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));
  ASSERT_EQ(Control(vx::IOCTL_VORLANEX_SET_FILTER_TABLE, TableOf({MakeRule(3, zl::driver::FILTER_ACTION_DIVERT)}), 0).status,
            STATUS_SUCCESS);

  ASSERT_EQ(Close().status, STATUS_SUCCESS);
  EXPECT_EQ(ModeByRequest(handle_), 0x03u);
  EXPECT_EQ(ModeByRequest(secondHandle), 0x02u);
  EXPECT_EQ(QueueSize(), 1u);
  EXPECT_EQ(zl::driver::InstalledRuleCount(), 1u);
  EXPECT_EQ(host_.EventReferences(packetEvent), 2);

  ASSERT_EQ(Close().status, STATUS_SUCCESS);
  // Mode 0, not the startup mode, on every adapter; queue and packet event gone.
  EXPECT_EQ(ModeByRequest(handle_), 0u);
  EXPECT_EQ(ModeByRequest(secondHandle), 0u);
  EXPECT_EQ(QueueSize(), 0u);
  EXPECT_EQ(zl::driver::InstalledRuleCount(), 0u);
  EXPECT_EQ(host_.EventReferences(packetEvent), 1);
  // The driver-wide events stay.
  EXPECT_EQ(host_.EventReferences(wanEvent), 2);
  ExpectRecordsConserved();
}

TEST_F(AdapterRequestsTest, RequestsArriveAsInternalDeviceControlToo) {
  const auto result = host_.SendDeviceRequest(IRP_MJ_INTERNAL_DEVICE_CONTROL, vx::IOCTL_VORLANEX_GET_VERSION, {}, 4);
  EXPECT_EQ(result.status, STATUS_SUCCESS);
  EXPECT_EQ(ValueAt<std::uint32_t>(result.buffer), 0x01083000u);
  const auto withoutFile = host_.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, vx::IOCTL_VORLANEX_GET_VERSION, {}, 4, false);
  EXPECT_EQ(withoutFile.status, STATUS_UNSUCCESSFUL);
  EXPECT_EQ(withoutFile.information, 0u);
}

}  // namespace
}  // namespace zl::drivertest
