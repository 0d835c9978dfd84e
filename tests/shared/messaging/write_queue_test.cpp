#include "shared/messaging/write_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace zl {
namespace {

using platform::IoResult;
using platform::IoStatus;

TMemoryStream StreamOf(const std::string& bytes) {
  TMemoryStream stream;
  stream.Write(bytes.data(), bytes.size());
  return stream;  // positioned at its end: the queue writes it from the start anyway
}

// A socket that takes at most `room` bytes until it is given more.
struct FakeSocket {
  std::size_t room = 0;
  std::size_t perCall = 3;
  int failWith = 0;
  std::string wire;

  WriteQueue::SendFunction Sender() {
    return [this](std::span<const std::uint8_t> bytes) -> IoResult {
      if (failWith) return {IoStatus::kFailed, 0, failWith};
      if (room == 0) return {IoStatus::kWouldBlock, 0, 0};
      const std::size_t n = std::min({bytes.size(), room, perCall});
      wire.append(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
      room -= n;
      return {IoStatus::kDone, n, 0};
    };
  }
};

TEST(WriteQueueTest, FramesHandedOverWhileOneIsBeingWrittenLeaveWholeAndInOrder) {
  WriteQueue queue;
  FakeSocket socket;
  socket.room = 4;
  ASSERT_TRUE(queue.Add(StreamOf("first-frame")));
  EXPECT_EQ(queue.Flush(socket.Sender()).status, IoStatus::kWouldBlock);
  EXPECT_EQ(socket.wire, "firs");

  // Earlier this used to throw the later frames away; they must wait their turn.
  ASSERT_TRUE(queue.Add(StreamOf("second")));
  ASSERT_TRUE(queue.Add(StreamOf("third")));
  EXPECT_EQ(queue.PendingBytes(), 7u + 6u + 5u);

  socket.room = 1000;
  EXPECT_EQ(queue.Flush(socket.Sender()).status, IoStatus::kDone);
  EXPECT_EQ(socket.wire, "first-framesecondthird");
  EXPECT_TRUE(queue.Empty());
  EXPECT_EQ(queue.PendingBytes(), 0u);
}

TEST(WriteQueueTest, RefusesAFramePastTheBoundButAlwaysTakesOneIntoAnEmptyQueue) {
  WriteQueue queue(10);
  EXPECT_TRUE(queue.Add(StreamOf(std::string(25, 'a'))));  // alone, larger than the bound
  FakeSocket socket;
  socket.room = 20;
  socket.perCall = 100;
  queue.Flush(socket.Sender());
  EXPECT_EQ(queue.PendingBytes(), 5u);
  EXPECT_TRUE(queue.Add(StreamOf("bbbbb")));   // 10: at the bound
  EXPECT_FALSE(queue.Add(StreamOf("c")));      // 11: past it, refused untouched
  EXPECT_EQ(queue.PendingBytes(), 10u);
  socket.room = 100;
  queue.Flush(socket.Sender());
  EXPECT_EQ(socket.wire, std::string(25, 'a') + "bbbbb");
}

TEST(WriteQueueTest, FailedSendIsReportedAndKeepsTheBytes) {
  WriteQueue queue;
  FakeSocket socket;
  socket.failWith = 32;
  queue.Add(StreamOf("frame"));
  const IoResult result = queue.Flush(socket.Sender());
  EXPECT_EQ(result.status, IoStatus::kFailed);
  EXPECT_EQ(result.error, 32);
  EXPECT_EQ(queue.PendingBytes(), 5u);
  queue.Clear();
  EXPECT_TRUE(queue.Empty());
}

}  // namespace
}  // namespace zl
