// The service's whole packet path without the service: a client binds the
// library by name as the service does, diverts an adapter of the machine's
// kernel host (mode 3), receives the frames injected at the adapter's two
// endpoints through ReadPacket once its event fires, hands them back, and
// they come out of the opposite endpoints unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "service/driverclient/packet_driver_api.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/vorlanex_host.h"
#include "zl/platform/sync_event.h"

namespace zl::vorlanexapitest {
namespace {

using namespace zl::driverclient;
using test::Bytes;
using test::FrameEndpoint;
using test::FrameSocket;
using test::HostProcess;

constexpr const char* kLanGuid = "{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}";  // the default machine's LAN adapter

Bytes Frame(std::uint8_t marker, std::size_t size) {
  Bytes frame(size);
  const std::uint8_t header[14] = {0x00, 0x1C, 0x42, 0x3A, 0x5B, 0x01, 0x02, 0xAA, 0xBB, 0xCC, 0xDD, marker, 0x08, 0x00};
  std::memcpy(frame.data(), header, sizeof header);
  for (std::size_t i = sizeof header; i < size; ++i) frame[i] = std::uint8_t(i * marker);
  return frame;
}

Bytes FrameOf(const PacketRecord& record) { return Bytes(record.Frame, record.Frame + record.Length); }

class RoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Ready()) << "vorlanex-host did not start";
    LoadPacketDriverApi();
    driver_ = PacketDriver.OpenFilterDriver("VORLANEX");
    ASSERT_TRUE(PacketDriver.IsDriverLoaded(driver_));
    list_ = std::make_unique<AdapterList>();
    PacketDriver.GetTcpipBoundAdaptersInfo(driver_, list_.get());
    const std::string name = std::string("\\DEVICE\\") + kLanGuid;
    for (std::uint32_t i = 0; i < list_->Count; ++i) {
      if (name == list_->Name[i]) adapter_ = reinterpret_cast<HANDLE>(list_->Handle[i]);
    }
    ASSERT_NE(adapter_, nullptr) << "the LAN adapter is not listed";
    event_ = platform::CreateManualResetEvent();
    ASSERT_NE(event_, platform::kNoEvent);
    ASSERT_TRUE(PacketDriver.SetPacketEvent(driver_, adapter_, reinterpret_cast<HANDLE>(event_)));
    AdapterModeRequest divert{reinterpret_cast<std::uintptr_t>(adapter_), MODE_DIVERT_OUTBOUND | MODE_DIVERT_INBOUND};
    ASSERT_TRUE(PacketDriver.SetAdapterMode(driver_, &divert));
  }

  void TearDown() override {
    if (PacketDriverApiLoaded()) {
      AdapterModeRequest pass{reinterpret_cast<std::uintptr_t>(adapter_), 0};
      PacketDriver.SetAdapterMode(driver_, &pass);
      PacketDriver.SetPacketEvent(driver_, adapter_, nullptr);
      PacketDriver.CloseFilterDriver(driver_);
      UnloadPacketDriverApi();
    }
    if (event_ != platform::kNoEvent) platform::CloseEventHandle(event_);
    EXPECT_EQ(host_.Stop(), 0) << "the driver left memory or saw a violation";
  }

  // The next queued frame, read as the service's packet thread reads it: wait
  // for the event, reset it, read.
  bool ReadNext(PacketRecord& record) {
    PacketRequest request{reinterpret_cast<std::uintptr_t>(adapter_), reinterpret_cast<std::uintptr_t>(&record)};
    for (;;) {
      if (PacketDriver.ReadPacket(driver_, &request)) return true;
      if (!platform::WaitForEvent(event_, 10000)) return false;
      platform::ClearEvent(event_);
    }
  }

  test::EmulatedMachine machine_;
  HostProcess host_;
  HANDLE driver_ = nullptr;
  HANDLE adapter_ = nullptr;
  platform::EventHandle event_ = platform::kNoEvent;
  std::unique_ptr<AdapterList> list_;
};

TEST_F(RoundTripTest, FramesFromEitherEndpointComeOutOfTheOtherUnchanged) {
  FrameSocket miniport(FrameEndpoint(kLanGuid, "miniport"));
  ASSERT_TRUE(miniport.Register());
  FrameSocket stack(FrameEndpoint(kLanGuid, "stack"));
  ASSERT_TRUE(stack.Register());
  auto record = std::make_unique<PacketRecord>();
  PacketRequest request{reinterpret_cast<std::uintptr_t>(adapter_), reinterpret_cast<std::uintptr_t>(record.get())};

  const Bytes fromClient = Frame(0x11, 1514);
  ASSERT_TRUE(miniport.Send(fromClient));
  ASSERT_TRUE(ReadNext(*record));
  EXPECT_EQ(record->Direction, DIRECTION_INBOUND);
  EXPECT_EQ(FrameOf(*record), fromClient);
  PacketDriver.SendPacketToMstcp(driver_, &request);
  EXPECT_EQ(stack.Receive(), fromClient);

  const Bytes fromStack = Frame(0x22, 60);
  ASSERT_TRUE(stack.Send(fromStack));
  ASSERT_TRUE(ReadNext(*record));
  EXPECT_EQ(record->Direction, DIRECTION_OUTBOUND);
  EXPECT_EQ(FrameOf(*record), fromStack);
  PacketDriver.SendPacketToAdapter(driver_, &request);
  EXPECT_EQ(miniport.Receive(), fromStack);

  // Nothing else was queued or diverted.
  DWORD queued = 99;
  ASSERT_TRUE(PacketDriver.GetAdapterPacketQueueSize(driver_, adapter_, &queued));
  EXPECT_EQ(queued, 0u);
}

TEST_F(RoundTripTest, BatchesCarryFramesInOrder) {
  FrameSocket miniport(FrameEndpoint(kLanGuid, "miniport"));
  ASSERT_TRUE(miniport.Register());
  FrameSocket stack(FrameEndpoint(kLanGuid, "stack"));
  ASSERT_TRUE(stack.Register());
  const std::vector<Bytes> frames = {Frame(1, 64), Frame(2, 700), Frame(3, 1514)};
  for (const Bytes& frame : frames) ASSERT_TRUE(miniport.Send(frame));

  constexpr std::uint32_t kBatch = 16;
  std::vector<PacketRecord> records(kBatch);
  std::vector<std::uint8_t> buffer(sizeof(MultiPacketRequest) + kBatch * sizeof(std::uintptr_t));
  auto* request = reinterpret_cast<MultiPacketRequest*>(buffer.data());
  auto* addresses = reinterpret_cast<std::uintptr_t*>(buffer.data() + sizeof(MultiPacketRequest));
  std::vector<Bytes> received;
  while (received.size() < frames.size()) {
    request->AdapterHandle = reinterpret_cast<std::uintptr_t>(adapter_);
    request->Count = kBatch;
    request->Done = 0;
    for (std::uint32_t i = 0; i < kBatch; ++i) addresses[i] = reinterpret_cast<std::uintptr_t>(&records[i]);
    if (!PacketDriver.ReadPackets(driver_, request)) {
      ASSERT_TRUE(platform::WaitForEvent(event_, 10000)) << "frames missing";
      platform::ClearEvent(event_);
      continue;
    }
    ASSERT_GT(request->Done, 0u);
    // Re-inject what was read, as one batch.
    request->Count = request->Done;
    for (std::uint32_t i = 0; i < request->Done; ++i) received.push_back(FrameOf(records[i]));
    EXPECT_TRUE(PacketDriver.SendPacketsToMstcp(driver_, request));
  }
  EXPECT_EQ(received, frames);
  for (const Bytes& frame : frames) EXPECT_EQ(stack.Receive(), frame);
}

}  // namespace
}  // namespace zl::vorlanexapitest
