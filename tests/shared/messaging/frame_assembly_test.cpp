// Frames fed to a connection item chunk by chunk, as reads would hand them over.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "shared/messaging/connection_item.h"
#include "shared/messaging/frame_format.h"

namespace zl {
namespace {

const std::string kMarker = std::string("\x26") + "{0231F7AF-951B-4342-BB3E-3EB7B220C855}";

TMemoryStream StreamOf(const std::string& bytes) {
  TMemoryStream stream;
  stream.Write(bytes.data(), bytes.size());
  return stream;
}

std::string BytesOf(const TMemoryStream& stream) { return {stream.Bytes().begin(), stream.Bytes().end()}; }

std::string Header(std::int64_t length) {
  std::string header = kMarker;
  auto bits = static_cast<std::uint64_t>(length);
  for (int i = 0; i < 8; ++i, bits >>= 8) header.push_back(static_cast<char>(bits & 0xFF));
  return header;
}

std::string Frame(const std::string& payload) { return Header(static_cast<std::int64_t>(payload.size())) + payload; }

TEST(FrameFormatTest, FrameIsMarkerLittleEndianLengthAndTheWholePayload) {
  ASSERT_EQ(kMarker.size(), kFrameMarkerSize);
  TMemoryStream payload = StreamOf("AB");  // positioned at its end, still sent whole
  const TMemoryStream frame = BuildFrame(payload);
  EXPECT_EQ(frame.Position(), 0u);
  EXPECT_EQ(BytesOf(frame), kMarker + std::string("\x02\0\0\0\0\0\0\0", 8) + "AB");

  const std::string big(0x10203, 'p');
  const std::string bigFrame = BytesOf(BuildFrame(StreamOf(big)));
  EXPECT_EQ(bigFrame.substr(kFrameMarkerSize, 8), std::string("\x03\x02\x01\0\0\0\0\0", 8));
  EXPECT_EQ(bigFrame.size(), kFrameHeaderSize + big.size());
}

class FrameAssemblyTest : public ::testing::Test {
 protected:
  FrameAssemblyTest() {
    item->ReadComplete = [this](EventSender* sender, TrkConnectionItem& from, TMemoryStream& payload) {
      EXPECT_EQ(sender, item.get());
      EXPECT_EQ(&from, item.get());
      EXPECT_EQ(payload.Position(), 0u);
      delivered.push_back(BytesOf(payload));
      if (onDelivery) onDelivery();
    };
  }

  void Feed(const std::string& bytes) {
    TMemoryStream chunk = StreamOf(bytes);  // positioned at its end: taken from its first byte all the same
    item->AssembleFrames(chunk);
  }

  std::shared_ptr<TrkConnectionItem> item = std::make_shared<TrkConnectionItem>();
  std::vector<std::string> delivered;
  std::function<void()> onDelivery;
};

TEST_F(FrameAssemblyTest, FrameArrivingOneBytePerReadIsDeliveredOnceWhenItsLastByteArrives) {
  const std::string frame = Frame("hello");
  for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
    Feed(frame.substr(i, 1));
    ASSERT_TRUE(delivered.empty()) << "after byte " << i;
  }
  Feed(frame.substr(frame.size() - 1));
  EXPECT_EQ(delivered, std::vector<std::string>{"hello"});
  EXPECT_EQ(item->BufferedByteCount(), 0u);
  EXPECT_EQ(item->ExpectedLength(), 0);
}

TEST_F(FrameAssemblyTest, EveryFrameOfOneReadIsDeliveredInOrder) {
  Feed(Frame("one") + Frame("") + Frame("three"));
  EXPECT_EQ(delivered, (std::vector<std::string>{"one", "", "three"}));

  // Many small frames in one read, as a burst on loopback would bring them.
  delivered.clear();
  std::string burst;
  for (int i = 0; i < 2000; ++i) burst += Frame(std::to_string(i));
  Feed(burst);
  ASSERT_EQ(delivered.size(), 2000u);
  EXPECT_EQ(delivered.front(), "0");
  EXPECT_EQ(delivered.back(), "1999");
}

TEST_F(FrameAssemblyTest, ReadEndingInsideTheNextHeaderKeepsThePartialHeader) {
  const std::string second = Frame("second");
  for (const std::size_t cut : {std::size_t{1}, std::size_t{20}, kFrameMarkerSize, kFrameHeaderSize - 1}) {
    delivered.clear();
    Feed(Frame("first") + second.substr(0, cut));
    EXPECT_EQ(delivered, std::vector<std::string>{"first"}) << "cut " << cut;
    EXPECT_EQ(item->BufferedByteCount(), cut);
    EXPECT_EQ(item->ExpectedLength(), 0);
    Feed(second.substr(cut));
    EXPECT_EQ(delivered, (std::vector<std::string>{"first", "second"})) << "cut " << cut;
  }
}

TEST_F(FrameAssemblyTest, HeaderIsReadOnceWholeAndTheLengthIsKeptUntilThePayloadIsComplete) {
  Feed(Header(10) + "12345");
  EXPECT_EQ(item->ExpectedLength(), 10);
  EXPECT_TRUE(delivered.empty());
  Feed("6789");
  EXPECT_TRUE(delivered.empty());
  Feed("0" + Frame("next").substr(0, 3));
  EXPECT_EQ(delivered, std::vector<std::string>{"1234567890"});
  EXPECT_EQ(item->BufferedByteCount(), 3u);
}

TEST_F(FrameAssemblyTest, EmptyPayloadRaisesOneEventWithAnEmptyStream) {
  Feed(Frame(""));
  EXPECT_EQ(delivered, std::vector<std::string>{""});
  EXPECT_EQ(item->BufferedByteCount(), 0u);
}

TEST_F(FrameAssemblyTest, BytesNotStartingWithTheMarkerAreDiscardedWithEverythingBuffered) {
  // Fewer than a header's worth is not judged yet.
  Feed(std::string(46, 'x'));
  EXPECT_EQ(item->BufferedByteCount(), 46u);
  // The 47th byte makes a header to examine: all of it goes, the good frame in
  // the same read included.
  Feed("x" + Frame("lost"));
  EXPECT_TRUE(delivered.empty());
  EXPECT_EQ(item->BufferedByteCount(), 0u);
  // What arrives afterwards starts a new frame.
  Feed(Frame("after"));
  EXPECT_EQ(delivered, std::vector<std::string>{"after"});
}

TEST_F(FrameAssemblyTest, MarkerWithOneWrongByteIsNotAMarker) {
  for (const std::size_t wrong : {std::size_t{0}, std::size_t{1}, kFrameMarkerSize - 1}) {
    std::string frame = Frame("x");
    frame[wrong] = static_cast<char>(frame[wrong] ^ 0x01);
    Feed(frame);
    EXPECT_TRUE(delivered.empty()) << "byte " << wrong;
    EXPECT_EQ(item->BufferedByteCount(), 0u);
  }
}

TEST_F(FrameAssemblyTest, AnnouncedLengthOutsideZeroToOneMebibyteIsAFramingError) {
  const std::int64_t badLengths[] = {-1, -47, std::numeric_limits<std::int64_t>::min(), kMaxFramePayloadLength + 1,
                                     std::numeric_limits<std::int64_t>::max()};
  for (const std::int64_t length : badLengths) {
    Feed(Header(length) + "some payload bytes");
    EXPECT_TRUE(delivered.empty()) << "length " << length;
    EXPECT_EQ(item->BufferedByteCount(), 0u) << "length " << length;
    EXPECT_EQ(item->ExpectedLength(), 0);
  }
  // The link recovers with the next frame.
  Feed(Frame("fine"));
  EXPECT_EQ(delivered, std::vector<std::string>{"fine"});
}

TEST_F(FrameAssemblyTest, PayloadOfExactlyOneMebibyteIsAccepted) {
  const std::string payload(static_cast<std::size_t>(kMaxFramePayloadLength), 'm');
  Feed(Frame(payload));
  ASSERT_EQ(delivered.size(), 1u);
  EXPECT_EQ(delivered[0].size(), payload.size());
}

TEST_F(FrameAssemblyTest, HandlerThatThrowsLosesTheRestOfItsReadButNotTheConnection) {
  onDelivery = [this] {
    if (delivered.size() == 1) throw std::runtime_error("handler failed");
  };
  Feed(Frame("first") + Frame("second") + Frame("third").substr(0, 10));
  EXPECT_EQ(delivered, std::vector<std::string>{"first"});
  EXPECT_EQ(item->BufferedByteCount(), 0u);
  EXPECT_EQ(item->ExpectedLength(), 0);

  Feed(Frame("later"));
  EXPECT_EQ(delivered, (std::vector<std::string>{"first", "later"}));
}

TEST_F(FrameAssemblyTest, HandlerThatResetsTheItemStopsTheDeliveriesOfThatRead) {
  // As a disconnect noticed while a handler pumps the event loop would.
  onDelivery = [this] { item->ResetReceive(); };
  Feed(Frame("first") + Frame("second"));
  EXPECT_EQ(delivered, std::vector<std::string>{"first"});
  EXPECT_EQ(item->BufferedByteCount(), 0u);
}

TEST_F(FrameAssemblyTest, BytesAddedByAHandlerAreAssembledInOrder) {
  onDelivery = [this] {
    if (delivered.size() == 1) Feed(Frame("from handler"));
  };
  Feed(Frame("first") + Frame("second"));
  // The handler's bytes join the end of the buffer, behind "second".
  EXPECT_EQ(delivered, (std::vector<std::string>{"first", "second", "from handler"}));
}

TEST_F(FrameAssemblyTest, ErrorKindsDecideWhatHappensToTheBufferedBytes) {
  struct Case {
    TErrorEvent kind;
    bool keepsBuffer;
  };
  const Case cases[] = {{eeGeneral, true}, {eeSend, true},        {eeReceive, false}, {eeConnect, true},
                        {eeDisconnect, false}, {eeAccept, true}, {eeLookup, true}};
  for (const Case& c : cases) {
    item->ResetReceive();
    Feed(Header(20) + "partial");
    item->HandleError(c.kind);
    EXPECT_EQ(item->BufferedByteCount() != 0, c.keepsBuffer) << "kind " << c.kind;
    EXPECT_EQ(item->ExpectedLength() != 0, c.keepsBuffer) << "kind " << c.kind;
  }
}

TEST_F(FrameAssemblyTest, ItemWithoutAConnectionNeitherSendsNorReads) {
  EXPECT_FALSE(item->IsConnected());
  item->Send(StreamOf("ignored"));
  Feed(Header(5) + "ab");
  item->HandleRead();  // nothing to read: the buffer is as it was
  EXPECT_EQ(item->BufferedByteCount(), kFrameHeaderSize + 2);
  EXPECT_FALSE(item->Reading());
  item->CloseSocket();
  EXPECT_EQ(item->Socket(), nullptr);
}

}  // namespace
}  // namespace zl
