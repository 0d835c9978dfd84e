// Records between driver and client: reads of the queue, re-injection in both
// directions, one or several per request, and the guarded access to the
// caller's records.
#include "driver/datapath/record_pool.h"
#include "tests/driver/control/control_fixture.h"

namespace zl::drivertest {
namespace {

class PacketRequestsTest : public ControlTest {
 protected:
  Bytes Packet(const void* record) const { return BytesOf(vx::PacketRequest{handle_, AddressOf(record)}); }
  static Bytes FrameOf(const vx::PacketRecord& record) { return Bytes(record.Frame, record.Frame + record.Length); }
};

TEST_F(PacketRequestsTest, AReadMovesTheOldestRecordIntoTheCallersAndGivesItBackToThePool) {
  const Bytes first = EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60);
  const Bytes second = EthernetFrame(kAdapterMac, kClientMac, 0x0806, 90);
  QueueInbound({first, second});
  vx::PacketRecord record;
  std::memset(&record, 0xAB, sizeof record);

  const auto result = Control(vx::IOCTL_VORLANEX_READ_PACKET, Packet(&record), 16);
  ASSERT_EQ(result.status, STATUS_SUCCESS);
  EXPECT_EQ(Bytes(result.buffer.begin(), result.buffer.begin() + 16), Packet(&record));  // the request, echoed
  EXPECT_EQ(std::uint32_t(record.Direction), vx::DIRECTION_INBOUND);
  EXPECT_EQ(FrameOf(record), first);
  // The driver's queue linkage is not handed out.
  EXPECT_EQ(std::uint64_t(record.Link[0]), 0u);
  EXPECT_EQ(std::uint64_t(record.Link[1]), 0u);
  // Only 32 + length bytes moved: the rest of the caller's record is untouched.
  EXPECT_EQ(record.Frame[60], 0xAB);
  EXPECT_EQ(Queued(*adapter_), 1u);
  EXPECT_EQ(zl::driver::FreeRecordCount(), 499u);
}

TEST_F(PacketRequestsTest, AReadOnAnEmptyQueueWritesNothing) {
  vx::PacketRecord record;
  std::memset(&record, 0xAB, sizeof record);
  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_READ_PACKET, Packet(&record), 16).status, STATUS_INVALID_PARAMETER);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
  EXPECT_EQ(Bytes(bytes, bytes + sizeof record), Bytes(sizeof record, 0xAB));
  EXPECT_TRUE(host_.Caller().Accesses().empty());
}

TEST_F(PacketRequestsTest, AReadIntoAFaultingRecordFailsAndTheRecordStillGoesBackToThePool) {
  QueueInbound({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)});
  vx::PacketRecord record{};
  host_.Caller().FaultRange(&record.Frame[40], 1);
  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_READ_PACKET, Packet(&record), 16).status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(Queued(*adapter_), 0u);
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
}

TEST_F(PacketRequestsTest, ASendGoesDownAsACopyAndASendUpReturnsItsPoolRecord) {
  const Bytes frame = EthernetFrame(kClientMac, kAdapterMac, 0x0800, 100);
  vx::PacketRecord record = CallerRecord(frame);
  record.Ieee8021Q = 0x1234;
  ASSERT_EQ(Control(vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, Packet(&record), 0).status, STATUS_SUCCESS);
  const auto down = adapter_->TakeMiniportFrames();
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].bytes, frame);
  EXPECT_EQ(down[0].ieee8021q, 0x1234u);
  EXPECT_TRUE(down[0].fromDriverPool);

  ASSERT_EQ(Control(vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, Packet(&record), 0).status, STATUS_SUCCESS);
  EXPECT_EQ(FramesOf(adapter_->TakeStackFrames()), std::vector<Bytes>{frame});
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
}

TEST_F(PacketRequestsTest, ARecordOfLengthZeroIsNotSentButTheRequestSucceeds) {
  vx::PacketRecord record{};
  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, Packet(&record), 0).status, STATUS_SUCCESS);
  EXPECT_TRUE(adapter_->TakeMiniportFrames().empty());
}

TEST_F(PacketRequestsTest, ASendUpFailsWhenNoPoolRecordIsFree) {
  SetMode(*adapter_, vx::MODE_DIVERT_INBOUND);
  for (int i = 0; i < 500; ++i) adapter_->ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));
  ASSERT_EQ(zl::driver::FreeRecordCount(), 0u);
  vx::PacketRecord record = CallerRecord(EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60));
  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, Packet(&record), 0).status, STATUS_INVALID_PARAMETER);
  // Towards the adapter the caller's record is sent from a copy of its own.
  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, Packet(&record), 0).status, STATUS_SUCCESS);
  EXPECT_EQ(adapter_->TakeMiniportFrames().size(), 1u);
}

// The caller rewrites its record's length to 5000 right after the driver has
// read the header: the frame copy and the send still use the length first read.
TEST_F(PacketRequestsTest, TheCallersLengthIsReadOnceForTheTestAndTheCopy) {
  const Bytes frame = EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60);
  for (std::uint32_t code : {vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS}) {
    SCOPED_TRACE(code);
    vx::PacketRecord record = CallerRecord(frame);
    bool changed = false;
    host_.Caller().SetAfterReadHook([&](std::uint64_t, std::size_t) {
      if (!changed) record.Length = 5000;
      changed = true;
    });
    ASSERT_EQ(Control(code, Packet(&record), 0).status, STATUS_SUCCESS);
    host_.Caller().SetAfterReadHook(nullptr);
    auto frames = FramesOf(code == vx::IOCTL_VORLANEX_SEND_TO_ADAPTER ? adapter_->TakeMiniportFrames()
                                                                      : adapter_->TakeStackFrames());
    EXPECT_EQ(frames, std::vector<Bytes>{frame});
  }
  for (const auto& access : host_.Caller().Accesses()) EXPECT_LE(access.length, 16u + 1514u);
}

TEST_F(PacketRequestsTest, AMultipleReadOfFiveWithTwoQueuedMovesTwo) {
  const Bytes first = EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60);
  const Bytes second = EthernetFrame(kAdapterMac, kClientMac, 0x0800, 61);
  QueueInbound({first, second});
  std::vector<vx::PacketRecord> records(5);
  std::vector<std::uint64_t> addresses;
  for (auto& record : records) addresses.push_back(AddressOf(&record));
  const Bytes request = MultiRequest(handle_, 5, addresses);

  const auto result = Control(vx::IOCTL_VORLANEX_READ_PACKETS, request, std::uint32_t(request.size()));
  ASSERT_EQ(result.status, STATUS_SUCCESS);
  EXPECT_EQ(result.information, request.size());
  EXPECT_EQ(ValueAt<std::uint32_t>(result.buffer, offsetof(vx::MultiPacketRequest, Done)), 2u);
  EXPECT_EQ(FrameOf(records[0]), first);
  EXPECT_EQ(FrameOf(records[1]), second);
  EXPECT_EQ(std::uint32_t(records[2].Length), 0u);

  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_READ_PACKETS, request, std::uint32_t(request.size())).status,
            STATUS_INVALID_PARAMETER);
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
}

// Two frames reach the caller before its third record faults: the request
// reports the two, so they are not lost; the third frame goes back to the pool.
TEST_F(PacketRequestsTest, AMultipleReadThatFaultsAfterMovingRecordsReportsThoseMoved) {
  QueueInbound({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60), EthernetFrame(kAdapterMac, kClientMac, 0x0800, 61),
                EthernetFrame(kAdapterMac, kClientMac, 0x0800, 62), EthernetFrame(kAdapterMac, kClientMac, 0x0800, 63)});
  std::vector<vx::PacketRecord> records(4);
  host_.Caller().FaultRange(&records[2], sizeof records[2]);
  std::vector<std::uint64_t> addresses;
  for (auto& record : records) addresses.push_back(AddressOf(&record));
  const Bytes request = MultiRequest(handle_, 4, addresses);

  const auto result = Control(vx::IOCTL_VORLANEX_READ_PACKETS, request, std::uint32_t(request.size()));
  ASSERT_EQ(result.status, STATUS_SUCCESS);
  EXPECT_EQ(ValueAt<std::uint32_t>(result.buffer, offsetof(vx::MultiPacketRequest, Done)), 2u);
  EXPECT_EQ(std::uint32_t(records[1].Length), 61u);
  EXPECT_EQ(std::uint32_t(records[3].Length), 0u);
  EXPECT_EQ(Queued(*adapter_), 1u);
  ExpectRecordsConserved();
}

TEST_F(PacketRequestsTest, AMultipleSendSkipsARecordLongerThan1514AndSendsTheOthers) {
  const Bytes a = EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60);
  const Bytes c = EthernetFrame(kClientMac, kAdapterMac, 0x0800, 70);
  vx::PacketRecord first = CallerRecord(a);
  vx::PacketRecord tooLong = CallerRecord(a);
  tooLong.Length = 1600;
  vx::PacketRecord third = CallerRecord(c);
  const Bytes request = MultiRequest(handle_, 3, {AddressOf(&first), AddressOf(&tooLong), AddressOf(&third)});

  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, request, 0).status, STATUS_SUCCESS);
  EXPECT_EQ(FramesOf(adapter_->TakeMiniportFrames()), (std::vector<Bytes>{a, c}));
  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, request, 0).status, STATUS_SUCCESS);
  EXPECT_EQ(FramesOf(adapter_->TakeStackFrames()), (std::vector<Bytes>{a, c}));
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
}

TEST_F(PacketRequestsTest, AFaultInAMultipleSendEndsItThereAndKeepsWhatWasSent) {
  const Bytes a = EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60);
  vx::PacketRecord first = CallerRecord(a);
  vx::PacketRecord faulting = CallerRecord(a);
  vx::PacketRecord third = CallerRecord(a);
  host_.Caller().FaultRange(&faulting.Frame[10], 1);
  const Bytes request = MultiRequest(handle_, 3, {AddressOf(&first), AddressOf(&faulting), AddressOf(&third)});

  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, request, 0).status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(adapter_->TakeMiniportFrames().size(), 1u);
  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, request, 0).status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(adapter_->TakeStackFrames().size(), 1u);
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
}

TEST_F(PacketRequestsTest, AMultipleSendUpSkipsRecordsWhileNoPoolRecordIsFree) {
  SetMode(*adapter_, vx::MODE_DIVERT_INBOUND);
  for (int i = 0; i < 500; ++i) adapter_->ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)}));
  vx::PacketRecord record = CallerRecord(EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60));
  const Bytes request = MultiRequest(handle_, 2, {AddressOf(&record), AddressOf(&record)});
  EXPECT_EQ(Control(vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, request, 0).status, STATUS_SUCCESS);
  EXPECT_TRUE(adapter_->TakeStackFrames().empty());
}

}  // namespace
}  // namespace zl::drivertest
