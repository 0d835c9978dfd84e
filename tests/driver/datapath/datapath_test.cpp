#include <gtest/gtest.h>

#include "driver/datapath/reinject.h"
#include "tests/driver/support/driver_fixture.h"

namespace zl::drivertest {
namespace {

using zl::ndishost::DeliveredFrame;
using zl::ndishost::EmulatedAdapter;
using zl::ndishost::FrameShape;
using zl::ndishost::ListShape;

class DatapathTest : public DriverTest {
 protected:
  void SetUp() override {
    LoadDriver();
    adapter_ = &AddAdapter();
  }
  EmulatedAdapter& adapter() { return *adapter_; }
  Bytes Outbound(std::size_t size = 60) { return EthernetFrame(kClientMac, kAdapterMac, 0x0800, size); }
  Bytes Inbound(std::size_t size = 60, const Mac& destination = kAdapterMac) {
    return EthernetFrame(destination, kClientMac, 0x0800, size);
  }
  EmulatedAdapter* adapter_ = nullptr;
};

TEST_F(DatapathTest, ModeZeroCopiesEveryFrameIntoNewListsAndGivesTheOriginalsBackAtOnce) {
  adapter().SendFromStack({OneList({Outbound(60), Outbound(61)}), OneList({Outbound(62)})});
  adapter().ReceiveFromMiniport(Chain({Inbound(70), Inbound(71)}));

  const auto sent = adapter().TakeMiniportFrames();
  EXPECT_EQ(FramesOf(sent), (std::vector<Bytes>{Outbound(60), Outbound(61), Outbound(62)}));
  for (const DeliveredFrame& frame : sent) {
    EXPECT_TRUE(frame.fromDriverPool);
    EXPECT_EQ(frame.sourceHandle, &adapter());
    EXPECT_EQ(frame.flags, 0u);
  }
  EXPECT_EQ(adapter().TakeSendCompletions(), (std::vector<NDIS_STATUS>{NDIS_STATUS_SUCCESS, NDIS_STATUS_SUCCESS}));
  EXPECT_EQ(adapter().StackListsOutstanding(), 0);

  const auto received = adapter().TakeStackFrames();
  EXPECT_EQ(FramesOf(received), (std::vector<Bytes>{Inbound(70), Inbound(71)}));
  for (const DeliveredFrame& frame : received) {
    EXPECT_TRUE(frame.fromDriverPool);
    EXPECT_EQ(frame.flags, ULONG(NDIS_RECEIVE_FLAGS_RESOURCES));
  }
  EXPECT_EQ(adapter().MiniportListsReturned(), 2);
  EXPECT_EQ(adapter().MiniportListsOutstanding(), 0);
  EXPECT_EQ(ModuleOf(adapter())->OutstandingSends, 0);
  ExpectRecordsConserved();
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
}

struct ModeCase {
  ULONG mode;
  bool outboundDelivered;
  bool outboundQueued;
  bool inboundDelivered;
  bool inboundQueued;
};

TEST_F(DatapathTest, ModeFlagsDecideWhatIsDeliveredAndWhatIsQueued) {
  const ModeCase cases[] = {
      {0x00, true, false, true, false},  {0x01, false, true, true, false}, {0x02, true, false, false, true},
      {0x03, false, true, false, true},  {0x04, true, true, true, false},  {0x08, true, false, true, true},
      {0x0C, true, true, true, true},    {0x05, false, true, true, false}, {0x0A, true, false, false, true},
      {0x10, true, false, true, false},  {0x40, true, false, true, false},
  };
  for (const ModeCase& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    SetMode(adapter(), c.mode);
    adapter().SendFromStack(Chain({Outbound(80)}));
    EXPECT_EQ(adapter().TakeMiniportFrames().size(), c.outboundDelivered ? 1u : 0u);
    ULONG direction = 0;
    EXPECT_EQ(DequeueFrame(adapter(), &direction), c.outboundQueued ? Outbound(80) : Bytes{});
    if (c.outboundQueued) {
      EXPECT_EQ(direction, zl::driver::DIRECTION_OUTBOUND);
    }

    adapter().ReceiveFromMiniport(Chain({Inbound(90)}));
    EXPECT_EQ(adapter().TakeStackFrames().size(), c.inboundDelivered ? 1u : 0u);
    EXPECT_EQ(DequeueFrame(adapter(), &direction), c.inboundQueued ? Inbound(90) : Bytes{});
    if (c.inboundQueued) {
      EXPECT_EQ(direction, zl::driver::DIRECTION_INBOUND);
    }

    EXPECT_EQ(Queued(adapter()), 0u);
    EXPECT_EQ(adapter().TakeSendCompletions(), std::vector<NDIS_STATUS>{NDIS_STATUS_SUCCESS});
    EXPECT_EQ(adapter().MiniportListsOutstanding(), 0);
    ExpectRecordsConserved();
  }
}

TEST_F(DatapathTest, EveryQueuedFrameRaisesTheCountAndSignalsThePacketEvent) {
  SetMode(adapter(), 0x03);
  PKEVENT event = host_.CreateEvent();
  ObReferenceObject(event);
  zl::driver::ReplacePacketEvent(&ModuleOf(adapter())->Queue, event);
  adapter().SendFromStack({OneList({Outbound(60), Outbound(61)})});
  EXPECT_EQ(Queued(adapter()), 2u);
  EXPECT_EQ(host_.EventSignals(event), 2);
  adapter().ReceiveFromMiniport(Chain({Inbound(62)}));
  EXPECT_EQ(Queued(adapter()), 3u);
  EXPECT_EQ(host_.EventSignals(event), 3);
  EXPECT_TRUE(adapter().TakeMiniportFrames().empty());
  EXPECT_TRUE(adapter().TakeStackFrames().empty());
  // Oldest first.
  EXPECT_EQ(DequeueFrame(adapter()), Outbound(60));
  EXPECT_EQ(DequeueFrame(adapter()), Outbound(61));
  EXPECT_EQ(DequeueFrame(adapter()), Inbound(62));

  // Replacing the event releases the previous one.
  zl::driver::ReplacePacketEvent(&ModuleOf(adapter())->Queue, nullptr);
  EXPECT_EQ(host_.EventReferences(event), 1);
}

TEST_F(DatapathTest, ACopyModeHandsTheFrameOnBeforeItsRecordIsQueued) {
  // Once queued, a record belongs to the client, who may read and recycle it at
  // any moment; the frame must have left by then.
  std::vector<ULONG> queuedAtArrival;
  adapter().SetArrivalHook([&] { queuedAtArrival.push_back(Queued(adapter())); });
  SetMode(adapter(), 0x0C);
  adapter().SendFromStack(Chain({Outbound()}));
  adapter().ReceiveFromMiniport(Chain({Inbound()}));
  EXPECT_EQ(queuedAtArrival, (std::vector<ULONG>{0, 1}));
  EXPECT_EQ(Queued(adapter()), 2u);
  adapter().SetArrivalHook(nullptr);
}

TEST_F(DatapathTest, WithAllRecordsQueuedOnOneAdapterAnotherAdaptersFramesAreDropped) {
  auto& other = AddAdapter("{00000000-0000-0000-0000-0000000000B2}");
  SetMode(adapter(), 0x02);
  std::vector<Bytes> frames(500, Inbound(60));
  adapter().ReceiveFromMiniport(Chain(frames));
  EXPECT_EQ(Queued(adapter()), 500u);
  EXPECT_EQ(zl::driver::FreeRecordCount(), 0u);

  other.SendFromStack(Chain({Outbound(60)}));
  other.ReceiveFromMiniport(Chain({Inbound(60)}));
  adapter().ReceiveFromMiniport(Chain({Inbound(60)}));
  EXPECT_TRUE(other.TakeMiniportFrames().empty());
  EXPECT_TRUE(other.TakeStackFrames().empty());
  // The lists still go back to their owners.
  EXPECT_EQ(other.TakeSendCompletions(), std::vector<NDIS_STATUS>{NDIS_STATUS_SUCCESS});
  EXPECT_EQ(other.MiniportListsOutstanding(), 0);
  EXPECT_EQ(adapter().MiniportListsOutstanding(), 0);
  EXPECT_EQ(Queued(adapter()), 500u);

  zl::driver::FlushPacketQueue(&ModuleOf(adapter())->Queue);
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
  other.SendFromStack(Chain({Outbound(60)}));
  EXPECT_EQ(other.TakeMiniportFrames().size(), 1u);
}

TEST_F(DatapathTest, FramesLongerThan1514BytesLeaveAs1514) {
  adapter().SendFromStack(Chain({Outbound(1600)}));
  const auto sent = adapter().TakeMiniportFrames();
  ASSERT_EQ(sent.size(), 1u);
  const Bytes frame = Outbound(1600);
  EXPECT_EQ(sent[0].bytes, Bytes(frame.begin(), frame.begin() + 1514));
}

TEST_F(DatapathTest, FramesAreReadAcrossDescriptorsAndAShortChainYieldsNothing) {
  SetMode(adapter(), 0x03);
  const Bytes frame = Outbound(300);
  ListShape split;
  split.frames.push_back({frame, {10, 4, 0, 200, 86}, 7});                // split, with an offset into the first
  split.frames.push_back({frame, {}, 0, std::nullopt, true});             // mapped on demand
  split.frames.push_back({frame, {100, 50}});                             // chain ends 150 bytes early
  split.frames.push_back({frame, {}, 0, std::nullopt, false, true});      // cannot be mapped
  split.frames.push_back({frame, {}, 0, ULONG(0)});                       // no data
  split.frames.push_back({frame, {}, 0, ULONG(100)});                     // data length shorter than the buffer
  adapter().SendFromStack({split});
  EXPECT_EQ(Queued(adapter()), 6u);
  EXPECT_EQ(DequeueFrame(adapter()), frame);
  EXPECT_EQ(DequeueFrame(adapter()), frame);
  EXPECT_EQ(DequeueFrame(adapter()), Bytes{});
  EXPECT_EQ(DequeueFrame(adapter()), Bytes{});
  EXPECT_EQ(DequeueFrame(adapter()), Bytes{});
  EXPECT_EQ(DequeueFrame(adapter()), Bytes(frame.begin(), frame.begin() + 100));

  // In mode 0 a frame that yields length 0 is not sent on.
  SetMode(adapter(), 0);
  ListShape shortChain;
  shortChain.frames.push_back({frame, {100, 50}});
  adapter().SendFromStack({shortChain});
  EXPECT_TRUE(adapter().TakeMiniportFrames().empty());
  ExpectRecordsConserved();
}

TEST_F(DatapathTest, WirelessWanPacketsGetAnEthernetShapedHeaderAndLoseItOnTheWayOut) {
  auto& wwan = AddAdapter("{00000000-0000-0000-0000-0000000000C3}", NdisMediumWirelessWan);
  Bytes packet(60);
  packet[0] = 0x45;
  for (std::size_t i = 1; i < packet.size(); ++i) packet[i] = std::uint8_t(i);
  ListShape list = OneList({packet});
  list.frameType = 0x0008;  // 08 00 as stored
  list.ieee8021q = 0x1234;

  SetMode(wwan, 0x02);
  wwan.ReceiveFromMiniport({list});
  zl::driver::PacketRecord* record = zl::driver::DequeueRecord(&ModuleOf(wwan)->Queue);
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(record->Length, 74u);
  Bytes expected(12, 0);
  expected.push_back(0x08);
  expected.push_back(0x00);
  expected.insert(expected.end(), packet.begin(), packet.end());
  EXPECT_EQ(Bytes(record->Frame, record->Frame + 74), expected);
  EXPECT_EQ(record->Ieee8021Q, 0x1234u);

  EXPECT_TRUE(zl::driver::IndicateRecord(ModuleOf(wwan), record));
  EXPECT_TRUE(zl::driver::SendRecord(ModuleOf(wwan), record));
  for (const auto& frames : {wwan.TakeStackFrames(), wwan.TakeMiniportFrames()}) {
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, packet);
    EXPECT_EQ(frames[0].frameType, 0x0008);
    EXPECT_EQ(frames[0].ieee8021q, 0x1234u);
    EXPECT_TRUE(frames[0].nblFlags & NDIS_NBL_FLAGS_IS_IPV4);
  }
  // Nothing behind the header: nothing to re-inject.
  record->Length = 14;
  EXPECT_FALSE(zl::driver::IndicateRecord(ModuleOf(wwan), record));
  EXPECT_FALSE(zl::driver::SendRecord(ModuleOf(wwan), record));
  zl::driver::ReturnRecord(record);

  // An IPv6 packet and a packet longer than 1500 bytes.
  ListShape ipv6 = OneList({Bytes(1600, 0x60)});
  ipv6.frameType = 0xDD86;
  SetMode(wwan, 0);
  wwan.SendFromStack({ipv6});
  const auto sent = wwan.TakeMiniportFrames();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bytes, Bytes(1500, 0x60));
  EXPECT_TRUE(sent[0].nblFlags & NDIS_NBL_FLAGS_IS_IPV6);
}

struct LoopbackCase {
  const char* name;
  ULONG mode;
  NDIS_MEDIUM medium;
  Mac destination;
  bool passedUntouched;
  bool copyQueued;
};

TEST_F(DatapathTest, LoopbackListsPassUntouchedUnlessTheModeAsksForThem) {
  const LoopbackCase cases[] = {
      {"0x02 leaves loopback alone", 0x02, NdisMedium802_3, kAdapterMac, true, false},
      {"0x22 copies loopback", 0x22, NdisMedium802_3, kAdapterMac, false, true},
      {"0x62 ends at a unicast", 0x62, NdisMedium802_3, kAdapterMac, false, false},
      {"0x62 keeps a broadcast", 0x62, NdisMedium802_3, kBroadcast, false, true},
      {"0x62 on WAN ends at anything", 0x62, NdisMediumWan, kBroadcast, false, false},
  };
  int index = 0;
  for (const LoopbackCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto& target = AddAdapter("{L" + std::to_string(index++) + "}", c.medium);
    SetMode(target, c.mode);
    ListShape list = OneList({Inbound(60, c.destination), Inbound(61, c.destination)});
    list.loopback = true;
    target.ReceiveFromMiniport({list});
    const auto up = target.TakeStackFrames();
    if (c.passedUntouched) {
      ASSERT_EQ(up.size(), 2u);
      EXPECT_FALSE(up[0].fromDriverPool);
      EXPECT_TRUE(up[0].nblFlags & NDIS_NBL_FLAGS_IS_LOOPBACK_PACKET);
    } else {
      EXPECT_TRUE(up.empty());
    }
    EXPECT_EQ(Queued(target), c.copyQueued ? 2u : 0u);
    EXPECT_EQ(target.MiniportListsOutstanding(), 0);
    zl::driver::FlushPacketQueue(&ModuleOf(target)->Queue);
    ExpectRecordsConserved();
  }
}

TEST_F(DatapathTest, TheLoopbackDestinationIsReadWhereverItsFirstByteLies) {
  SetMode(adapter(), 0x62);
  for (const Mac& destination : {kBroadcast, kAdapterMac}) {
    ListShape list;
    list.loopback = true;
    // The header spread over three descriptors, the first one starting 3 bytes in.
    list.frames.push_back({Inbound(60, destination), {1, 1, 58}, 3});
    adapter().ReceiveFromMiniport({list});
  }
  EXPECT_EQ(Queued(adapter()), 1u);
  EXPECT_EQ(DequeueFrame(adapter()), Inbound(60, kBroadcast));
}

TEST_F(DatapathTest, OwnAddressOnlyKeepsUnicastsForOtherAddressesFromTheProtocols) {
  SetMode(adapter(), 0x10);
  adapter().ReceiveFromMiniport(Chain({Inbound(60, kClientMac), Inbound(61, kBroadcast), Inbound(62, kAdapterMac)}));
  EXPECT_EQ(FramesOf(adapter().TakeStackFrames()), (std::vector<Bytes>{Inbound(61, kBroadcast), Inbound(62, kAdapterMac)}));
  // Under a copy mode the record is still queued.
  SetMode(adapter(), 0x18);
  adapter().ReceiveFromMiniport(Chain({Inbound(60, kClientMac)}));
  EXPECT_TRUE(adapter().TakeStackFrames().empty());
  EXPECT_EQ(Queued(adapter()), 1u);
}

TEST_F(DatapathTest, ReinjectionRefusesLengthsOutsideTheFrameSize) {
  zl::driver::PacketRecord record{};
  const Bytes frame = Outbound(60);
  std::copy(frame.begin(), frame.end(), record.Frame);
  record.Length = 0;
  EXPECT_FALSE(zl::driver::SendRecord(ModuleOf(adapter()), &record));
  EXPECT_TRUE(zl::driver::IndicateRecord(ModuleOf(adapter()), &record));  // an empty frame goes up
  record.Length = 1515;
  EXPECT_FALSE(zl::driver::SendRecord(ModuleOf(adapter()), &record));
  EXPECT_FALSE(zl::driver::IndicateRecord(ModuleOf(adapter()), &record));
  record.Length = 1514;
  EXPECT_TRUE(zl::driver::SendRecord(ModuleOf(adapter()), &record));
  EXPECT_EQ(adapter().TakeMiniportFrames().size(), 1u);
  EXPECT_EQ(adapter().TakeStackFrames().size(), 1u);
}

TEST_F(DatapathTest, WithoutAnOwnListAFrameIsNotReinjectedAndItsRecordGoesBack) {
  host_.FailNblAllocation(true);
  adapter().SendFromStack(Chain({Outbound()}));
  adapter().ReceiveFromMiniport(Chain({Inbound()}));
  SetMode(adapter(), 0x0C);
  adapter().SendFromStack(Chain({Outbound()}));
  host_.FailNblAllocation(false);
  EXPECT_TRUE(adapter().TakeMiniportFrames().empty());
  EXPECT_TRUE(adapter().TakeStackFrames().empty());
  EXPECT_EQ(Queued(adapter()), 1u);
  EXPECT_EQ(adapter().TakeSendCompletions().size(), 2u);
  ExpectRecordsConserved();
}

TEST_F(DatapathTest, APausedModuleRefusesSendsAndGivesReceivesBack) {
  host_.Pause(adapter());
  adapter().SendFromStack(Chain({Outbound(), Outbound()}), NDIS_SEND_FLAGS_DISPATCH_LEVEL);
  EXPECT_EQ(adapter().TakeSendCompletions(), (std::vector<NDIS_STATUS>{NDIS_STATUS_PAUSED, NDIS_STATUS_PAUSED}));
  EXPECT_EQ(adapter().LastSendCompleteFlags(), ULONG(NDIS_SEND_COMPLETE_FLAGS_DISPATCH_LEVEL));
  adapter().ReceiveFromMiniport(Chain({Inbound(), Inbound()}), NDIS_RECEIVE_FLAGS_DISPATCH_LEVEL);
  EXPECT_EQ(adapter().MiniportListsReturned(), 2);
  EXPECT_EQ(adapter().LastReturnFlags(), ULONG(NDIS_RETURN_FLAGS_DISPATCH_LEVEL));
  adapter().ReceiveFromMiniport(Chain({Inbound()}), NDIS_RECEIVE_FLAGS_RESOURCES);
  EXPECT_EQ(adapter().MiniportListsReturned(), 2);
  EXPECT_TRUE(adapter().TakeMiniportFrames().empty());
  EXPECT_TRUE(adapter().TakeStackFrames().empty());
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
}

TEST_F(DatapathTest, ListsReceivedWithTheResourcesFlagStayWithTheMiniport) {
  SetMode(adapter(), 0x02);
  ListShape loopback = OneList({Inbound(61)});
  loopback.loopback = true;
  adapter().ReceiveFromMiniport({OneList({Inbound(60)}), loopback, OneList({Inbound(62)})},
                                NDIS_RECEIVE_FLAGS_RESOURCES | NDIS_RECEIVE_FLAGS_DISPATCH_LEVEL);
  const auto up = adapter().TakeStackFrames();
  ASSERT_EQ(up.size(), 1u);  // only the loopback list goes up, alone, with the flags received
  EXPECT_EQ(up[0].bytes, Inbound(61));
  EXPECT_EQ(up[0].flags, ULONG(NDIS_RECEIVE_FLAGS_RESOURCES | NDIS_RECEIVE_FLAGS_DISPATCH_LEVEL));
  EXPECT_EQ(adapter().MiniportListsReturned(), 0);
  EXPECT_EQ(Queued(adapter()), 2u);
}

TEST_F(DatapathTest, The8021QInformationTravelsWithTheFrame) {
  ListShape tagged = OneList({Outbound()});
  tagged.ieee8021q = 0xABCD;
  adapter().SendFromStack({tagged});
  const auto sent = adapter().TakeMiniportFrames();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].ieee8021q, 0xABCDu);
  SetMode(adapter(), 0x02);
  ListShape taggedIn = OneList({Inbound()});
  taggedIn.ieee8021q = 0x77;
  adapter().ReceiveFromMiniport({taggedIn});
  zl::driver::PacketRecord* record = zl::driver::DequeueRecord(&ModuleOf(adapter())->Queue);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->Ieee8021Q, 0x77u);
  EXPECT_TRUE(zl::driver::IndicateRecord(ModuleOf(adapter()), record));
  EXPECT_EQ(adapter().TakeStackFrames().at(0).ieee8021q, 0x77u);
  zl::driver::ReturnRecord(record);
}

TEST_F(DatapathTest, ResettingAQueueReturnsItsRecordsClearsTheModeAndReleasesTheEvent) {
  auto& other = AddAdapter("{00000000-0000-0000-0000-0000000000B2}");
  SetMode(adapter(), 0x03);
  SetMode(other, 0x03);
  PKEVENT event = host_.CreateEvent();
  ObReferenceObject(event);
  zl::driver::ReplacePacketEvent(&ModuleOf(adapter())->Queue, event);
  adapter().ReceiveFromMiniport(Chain({Inbound(), Inbound(), Inbound()}));
  other.ReceiveFromMiniport(Chain({Inbound()}));
  zl::driver::ResetAdapterQueue(&ModuleOf(adapter())->Queue);
  EXPECT_EQ(Queued(adapter()), 0u);
  EXPECT_EQ(zl::driver::ReadModeFlags(&ModuleOf(adapter())->Queue), 0u);
  EXPECT_EQ(host_.EventReferences(event), 1);
  EXPECT_EQ(Queued(other), 1u);
  EXPECT_EQ(zl::driver::FreeRecordCount(), 499u);
  zl::driver::ResetAllAdapters();
  EXPECT_EQ(zl::driver::FreeRecordCount(), 500u);
  EXPECT_EQ(zl::driver::ReadModeFlags(&ModuleOf(other)->Queue), 0u);
}

}  // namespace
}  // namespace zl::drivertest
