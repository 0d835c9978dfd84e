// Manual-reset events, as a driver's signal reaches a waiting program.
#include <gtest/gtest.h>

#include <thread>

#include "zl/platform/sync_event.h"

namespace zl::platform {
namespace {

TEST(EventContract, AManualResetEventStaysSignalledUntilCleared) {
  const EventHandle event = CreateManualResetEvent();
  ASSERT_NE(event, kNoEvent);
  EXPECT_FALSE(WaitForEvent(event, 0));
  SignalEvent(event);
  EXPECT_TRUE(WaitForEvent(event, 0));
  EXPECT_TRUE(WaitForEvent(event, 0));  // waiting does not reset it
  SignalEvent(event);                    // signalling twice is still one signal
  ClearEvent(event);
  EXPECT_FALSE(WaitForEvent(event, 0));
  CloseEventHandle(event);
}

TEST(EventContract, ASignalFromAnotherThreadEndsAnUnlimitedWait) {
  const EventHandle event = CreateManualResetEvent();
  ASSERT_NE(event, kNoEvent);
  std::thread signaller([event] { SignalEvent(event); });
  EXPECT_TRUE(WaitForEvent(event, -1));
  signaller.join();
  CloseEventHandle(event);
}

TEST(EventContract, EventsAreIndependent) {
  const EventHandle first = CreateManualResetEvent();
  const EventHandle second = CreateManualResetEvent();
  ASSERT_NE(first, kNoEvent);
  ASSERT_NE(second, kNoEvent);
  EXPECT_NE(first, second);
  SignalEvent(first);
  EXPECT_FALSE(WaitForEvent(second, 0));
  CloseEventHandle(first);
  CloseEventHandle(second);
}

}  // namespace
}  // namespace zl::platform
