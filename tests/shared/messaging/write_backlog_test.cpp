// The asynchronous writer against a peer that stops reading: frames wait in
// order, and a peer that leaves too much unread loses its connection instead
// of frames going missing without notice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loopback_fixture.h"

namespace zl::testing {
namespace {

constexpr std::size_t kFrameBytes = 256 * 1024;

std::string NumberedPayload(int number) {
  std::string payload = std::to_string(number) + ":";
  payload.resize(kFrameBytes, static_cast<char>('a' + number % 26));
  return payload;
}

class WriteBacklogTest : public LoopbackTest {
 protected:
  void ConnectSilentPeer() {
    StartServer();
    peer.Connect(server.BoundPort());
    ASSERT_TRUE(RunUntil([&] { return server.Connections().Count() == 1; }));
  }

  std::size_t PendingWriteBytes() {
    TrkConnectionItem& item = server.Connections()[0];
    return item.Socket() ? item.Socket()->PendingWriteBytes() : 0;
  }

  // Checks the frames the peer got are 0, 1, 2, ... with nothing skipped.
  void ExpectConsecutiveFrom0(const std::vector<std::string>& payloads) {
    for (std::size_t i = 0; i < payloads.size(); ++i) {
      ASSERT_EQ(payloads[i], NumberedPayload(static_cast<int>(i))) << "frame " << i;
    }
  }

  RawPeer peer;
};

TEST_F(WriteBacklogTest, FramesQueuedBehindAnUnfinishedOneArriveWholeAndInOrder) {
  ConnectSilentPeer();
  TrkConnectionItem& item = server.Connections()[0];
  int sent = 0;
  // Fill the socket until the writer has to hold frames back.
  while (PendingWriteBytes() == 0 && sent < 64) item.Send(StreamOf(NumberedPayload(sent++)));
  ASSERT_GT(PendingWriteBytes(), 0u) << "the socket never filled up";
  for (int i = 0; i < 3; ++i) item.Send(StreamOf(NumberedPayload(sent++)));
  EXPECT_GT(PendingWriteBytes(), 2 * kFrameBytes);

  const std::size_t expected = static_cast<std::size_t>(sent) * (kFrameHeaderSize + kFrameBytes);
  ASSERT_TRUE(RunUntil([&] {
    peer.Drain();
    return peer.Received().size() >= expected;
  }));
  const std::vector<std::string> payloads = PayloadsOf(peer.Received());
  EXPECT_EQ(payloads.size(), static_cast<std::size_t>(sent));
  ExpectConsecutiveFrom0(payloads);
  EXPECT_EQ(PendingWriteBytes(), 0u);
  EXPECT_EQ(server.Connections().Count(), 1u);
}

TEST_F(WriteBacklogTest, PeerLeavingTooMuchUnreadIsDisconnectedRatherThanLosingFramesSilently) {
  ConnectSilentPeer();
  int disconnects = 0;
  server.OnClientDisconnect = [&](EventSender*, TrkConnectionItem&) { ++disconnects; };
  int sent = 0;
  while (disconnects == 0 && sent < 200) {
    if (server.Connections().Count() == 1) server.Connections()[0].Send(StreamOf(NumberedPayload(sent++)));
    loop.RunUntilIdle();
  }
  ASSERT_EQ(disconnects, 1);
  EXPECT_EQ(server.Connections().Count(), 0u);
  // The backlog bound lies well above what the link ever needs.
  EXPECT_GT(sent * kFrameBytes, WriteQueue::kDefaultMaxPendingBytes);

  ASSERT_TRUE(RunUntil([&] {
    peer.Drain();
    return peer.ClosedByPeer();
  }));
  // Whatever arrived is an unbroken run from the first frame: no frame in
  // the middle went missing.
  const std::vector<std::string> payloads = PayloadsOf(peer.Received());
  EXPECT_GT(payloads.size(), 0u);
  EXPECT_LT(payloads.size(), static_cast<std::size_t>(sent));
  ExpectConsecutiveFrom0(payloads);
}

}  // namespace
}  // namespace zl::testing
