// Frames through a client session of each pointer width: reading diverted
// frames into the caller's records, handing them back in either direction,
// and the batch forms.
#include "tests/vorlanexapi/session_fixture.h"

namespace zl::vorlanexapitest {
namespace {

using drivertest::EthernetFrame;
using drivertest::kAdapterMac;
using drivertest::kClientMac;

using Widths = ::testing::Types<std::uint32_t, std::uint64_t>;

template <typename Word>
class PacketSessionTest : public SessionTest<Word> {
 protected:
  void SetUp() override {
    SessionTest<Word>::SetUp();
    adapterHandle_ = this->AdapterHandle();
    ASSERT_TRUE(this->session_.SetAdapterMode({adapterHandle_, vx::MODE_DIVERT_OUTBOUND | vx::MODE_DIVERT_INBOUND}));
  }
  // Frames from the clients, each one list, diverted into the queue.
  void ArriveFromClients(const std::vector<Bytes>& frames) {
    this->adapter_->ReceiveFromMiniport(drivertest::Chain(frames));
  }
  static Bytes FrameOf(const vorlanexapi::PacketRecordOf<Word>& record) {
    return Bytes(record.Frame, record.Frame + record.Length);
  }
  static vorlanexapi::PacketRecordOf<Word> RecordHolding(const Bytes& frame, std::uint32_t direction) {
    vorlanexapi::PacketRecordOf<Word> record{};
    record.Direction = direction;
    record.Length = std::uint32_t(frame.size());
    std::memcpy(record.Frame, frame.data(), frame.size());
    return record;
  }

  Word adapterHandle_ = 0;  // the session's handle of the adapter
};
TYPED_TEST_SUITE(PacketSessionTest, Widths);

TYPED_TEST(PacketSessionTest, ReadsTheOldestFrameIntoTheCallersRecord) {
  const Bytes first = EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60);
  const Bytes second = EthernetFrame(kAdapterMac, kClientMac, 0x0806, 1514);
  this->ArriveFromClients({first, second});

  auto record = std::make_unique<vorlanexapi::PacketRecordOf<TypeParam>>();
  std::memset(record.get(), 0xEE, sizeof *record);
  auto request = this->RequestFor(this->adapterHandle_, *record);
  ASSERT_TRUE(this->session_.ReadPacket(request));
  EXPECT_EQ(this->session_.BytesReturned(), sizeof request);
  EXPECT_EQ(Copy(record->Direction), vx::DIRECTION_INBOUND);
  EXPECT_EQ(this->FrameOf(*record), first);
  EXPECT_EQ(record->Frame[60], 0xEE) << "bytes beyond the frame stay as they were";

  ASSERT_TRUE(this->session_.ReadPacket(request));
  EXPECT_EQ(this->FrameOf(*record), second);

  // An empty queue: failure, the record untouched, nothing returned.
  const auto before = *record;
  EXPECT_FALSE(this->session_.ReadPacket(request));
  EXPECT_EQ(this->session_.BytesReturned(), 0u);
  EXPECT_EQ(std::memcmp(&before, record.get(), sizeof before), 0);
}

TYPED_TEST(PacketSessionTest, HandsFramesBackInTheirDirectionUnchanged) {
  const Bytes up = EthernetFrame(kAdapterMac, kClientMac, 0x0800, 342);
  const Bytes down = EthernetFrame(kClientMac, kAdapterMac, 0x0800, 1514);
  auto upRecord = this->RecordHolding(up, vx::DIRECTION_INBOUND);
  auto downRecord = this->RecordHolding(down, vx::DIRECTION_OUTBOUND);

  EXPECT_TRUE(this->session_.SendToProtocols(this->RequestFor(this->adapterHandle_, upRecord)));
  EXPECT_TRUE(this->session_.SendToAdapter(this->RequestFor(this->adapterHandle_, downRecord)));
  EXPECT_EQ(drivertest::DriverTest::FramesOf(this->adapter_->TakeStackFrames()), std::vector<Bytes>{up});
  EXPECT_EQ(drivertest::DriverTest::FramesOf(this->adapter_->TakeMiniportFrames()), std::vector<Bytes>{down});
}

TYPED_TEST(PacketSessionTest, ARecordLongerThanAFrameIsRefusedAndNothingIsSent) {
  auto record = this->RecordHolding(EthernetFrame(kClientMac, kAdapterMac, 0x0800, 100), vx::DIRECTION_OUTBOUND);
  record.Length = 1515;
  EXPECT_FALSE(this->session_.SendToAdapter(this->RequestFor(this->adapterHandle_, record)));
  EXPECT_FALSE(this->session_.SendToProtocols(this->RequestFor(this->adapterHandle_, record)));
  EXPECT_TRUE(this->adapter_->TakeMiniportFrames().empty());
  EXPECT_TRUE(this->adapter_->TakeStackFrames().empty());
}

TYPED_TEST(PacketSessionTest, AnAdapterHandleTheSessionNeverIssuedIsRefused) {
  this->ArriveFromClients({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)});
  vorlanexapi::PacketRecordOf<TypeParam> record{};
  const TypeParam unknown = TypeParam(this->adapterHandle_ + 1);
  EXPECT_FALSE(this->session_.ReadPacket(this->RequestFor(unknown, record)));
  std::uint32_t size = 0;
  EXPECT_TRUE(this->session_.GetAdapterQueueSize(this->adapterHandle_, size));
  EXPECT_EQ(size, 1u) << "the frame stays queued";
}

TYPED_TEST(PacketSessionTest, ReadsUpToTheBatchAndSaysHowMany) {
  const std::vector<Bytes> frames = {EthernetFrame(kAdapterMac, kClientMac, 0x0800, 64),
                                     EthernetFrame(kAdapterMac, kClientMac, 0x0800, 128)};
  this->ArriveFromClients(frames);

  using Request = vorlanexapi::MultiPacketRequestOf<TypeParam>;
  std::vector<vorlanexapi::PacketRecordOf<TypeParam>> records(5);
  std::vector<std::uint8_t> request(sizeof(Request) + 5 * sizeof(TypeParam));
  Request header{this->adapterHandle_, 5, 0xFFFFFFFF};
  std::memcpy(request.data(), &header, sizeof header);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const TypeParam address = this->memory_.Place(&records[i]);
    std::memcpy(request.data() + sizeof header + i * sizeof(TypeParam), &address, sizeof address);
  }
  auto& multi = *reinterpret_cast<Request*>(request.data());
  ASSERT_TRUE(this->session_.ReadPackets(multi));
  EXPECT_EQ(Copy(multi.Done), 2u);
  EXPECT_EQ(this->session_.BytesReturned(), request.size());
  EXPECT_EQ(this->FrameOf(records[0]), frames[0]);
  EXPECT_EQ(this->FrameOf(records[1]), frames[1]);
  EXPECT_EQ(Copy(records[2].Length), 0u);

  // Back to the protocols in one request, in order.
  multi.Count = 2;
  ASSERT_TRUE(this->session_.SendPacketsToProtocols(multi));
  EXPECT_EQ(drivertest::DriverTest::FramesOf(this->adapter_->TakeStackFrames()), frames);

  // Nothing queued: the read fails.
  multi.Count = 5;
  EXPECT_FALSE(this->session_.ReadPackets(multi));
}

TYPED_TEST(PacketSessionTest, ABatchTowardsTheAdapterSkipsAnOverlongRecord) {
  const Bytes a = EthernetFrame(kClientMac, kAdapterMac, 0x0800, 64);
  const Bytes b = EthernetFrame(kClientMac, kAdapterMac, 0x0800, 90);
  std::vector<vorlanexapi::PacketRecordOf<TypeParam>> records = {
      this->RecordHolding(a, vx::DIRECTION_OUTBOUND), this->RecordHolding(a, vx::DIRECTION_OUTBOUND),
      this->RecordHolding(b, vx::DIRECTION_OUTBOUND)};
  records[1].Length = 1600;

  using Request = vorlanexapi::MultiPacketRequestOf<TypeParam>;
  std::vector<std::uint8_t> request(sizeof(Request) + 3 * sizeof(TypeParam));
  Request header{this->adapterHandle_, 3, 0};
  std::memcpy(request.data(), &header, sizeof header);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const TypeParam address = this->memory_.Place(&records[i]);
    std::memcpy(request.data() + sizeof header + i * sizeof(TypeParam), &address, sizeof address);
  }
  EXPECT_TRUE(this->session_.SendPacketsToAdapter(*reinterpret_cast<Request*>(request.data())));
  EXPECT_EQ(drivertest::DriverTest::FramesOf(this->adapter_->TakeMiniportFrames()), (std::vector<Bytes>{a, b}));
}

TYPED_TEST(PacketSessionTest, ThePacketEventFiresWhenAFrameIsQueuedAndFlushEmptiesTheQueue) {
  PKEVENT event = this->host_.CreateEvent();
  const std::uint64_t eventHandle = this->host_.Caller().OpenHandle(event);
  ASSERT_TRUE(this->session_.SetPacketEvent(this->adapterHandle_, TypeParam(eventHandle)));
  this->ArriveFromClients({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60),
                           EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)});
  EXPECT_GE(this->host_.EventSignals(event), 1);

  std::uint32_t size = 0;
  ASSERT_TRUE(this->session_.GetAdapterQueueSize(this->adapterHandle_, size));
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(this->session_.BytesReturned(), 4u);
  EXPECT_TRUE(this->session_.FlushAdapterQueue(this->adapterHandle_));
  ASSERT_TRUE(this->session_.GetAdapterQueueSize(this->adapterHandle_, size));
  EXPECT_EQ(size, 0u);

  EXPECT_TRUE(this->session_.SetPacketEvent(this->adapterHandle_, 0));
  EXPECT_FALSE(this->session_.SetPacketEvent(this->adapterHandle_, TypeParam(eventHandle + 999)));
  this->host_.Caller().CloseHandle(eventHandle);
  this->host_.CloseEvent(event);
}

// Counts whose request would not fit a 32-bit size are refused before the
// library reads the caller's addresses or data behind the header.
TYPED_TEST(PacketSessionTest, ACountBeyondAnyRequestSizeIsRefusedUntouched) {
  vorlanexapi::MultiPacketRequestOf<TypeParam> multi{this->adapterHandle_, 0x20000000, 0};
  EXPECT_FALSE(this->session_.ReadPackets(multi));
  EXPECT_FALSE(this->session_.SendPacketsToAdapter(multi));
  EXPECT_FALSE(this->session_.SendPacketsToProtocols(multi));

  vorlanexapi::OidPassRequestOf<TypeParam> oid{this->adapterHandle_, 0x0001010E, 0xFFFFFFF8};
  EXPECT_FALSE(this->session_.OidRequest(oid, false));

  std::uint32_t table = 0x7FFFFFFF;  // a count of rules no table can hold
  EXPECT_FALSE(this->session_.SetPacketFilterTable(&table));
  EXPECT_FALSE(this->session_.GetPacketFilterTable(&table, false));
  EXPECT_EQ(this->session_.BytesReturned(), 0u);
}

}  // namespace
}  // namespace zl::vorlanexapitest
