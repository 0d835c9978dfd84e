// Manual-reset events: signalled until reset, waiting does not reset them,
// and another thread's signal ends a wait.
#include <thread>

#include <gtest/gtest.h>

#include "zl/platform/sync_event.h"

namespace zl::platform {
namespace {

class SyncEventTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(event_, kNoEvent); }
  void TearDown() override { CloseEventHandle(event_); }
  EventHandle event_ = CreateManualResetEvent();
};

TEST_F(SyncEventTest, StartsClearAndStaysSignalledThroughWaitsUntilCleared) {
  EXPECT_FALSE(WaitForEvent(event_, 0));
  SignalEvent(event_);
  SignalEvent(event_);
  EXPECT_TRUE(WaitForEvent(event_, 0));
  EXPECT_TRUE(WaitForEvent(event_, 0));
  ClearEvent(event_);
  EXPECT_FALSE(WaitForEvent(event_, 0));
  ClearEvent(event_);  // clearing a clear event is harmless
  EXPECT_FALSE(WaitForEvent(event_, 0));
}

TEST_F(SyncEventTest, AWaitWithoutLimitEndsWithASignalFromAnotherThread) {
  std::thread signaller([this] { SignalEvent(event_); });
  EXPECT_TRUE(WaitForEvent(event_, -1));
  signaller.join();
}

TEST_F(SyncEventTest, EventsAreIndependentAndNoEventIsNeverSignalled) {
  const EventHandle other = CreateManualResetEvent();
  ASSERT_NE(other, kNoEvent);
  EXPECT_NE(other, event_);
  SignalEvent(other);
  EXPECT_FALSE(WaitForEvent(event_, 0));
  EXPECT_TRUE(WaitForEvent(other, 0));
  CloseEventHandle(other);
  SignalEvent(kNoEvent);
  EXPECT_FALSE(WaitForEvent(kNoEvent, 0));
}

}  // namespace
}  // namespace zl::platform
