#include "shared/notify/message_monitor.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zl {
namespace {

TEST(MessageMonitorTest, MonitorsRegisterWhileTheyLive) {
  const std::size_t before = MonitorList().size();
  {
    TrkMessageMonitor first;
    TrkMessageMonitor second;
    ASSERT_EQ(MonitorList().size(), before + 2);
    EXPECT_EQ(MonitorList()[before], &first);
    EXPECT_EQ(MonitorList()[before + 1], &second);
  }
  EXPECT_EQ(MonitorList().size(), before);
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);  // nobody listening: nothing happens
}

TEST(MessageMonitorTest, EveryMonitorGetsTheCodeInCreationOrderSharingOneRecord) {
  std::vector<std::string> calls;
  TrkMessageMonitor first;
  TrkMessageMonitor silent;  // no handler: skipped
  TrkMessageMonitor second;
  first.OnMessage = [&](TMessage& msg) {
    EXPECT_EQ(msg.Msg, NOTIFY_LANGUAGE_CHANGED);
    EXPECT_EQ(msg.WParam, 0);
    EXPECT_EQ(msg.LParam, 0);
    EXPECT_EQ(msg.Result, 0);
    msg.Result = 7;
    calls.push_back("first");
  };
  second.OnMessage = [&](TMessage& msg) {
    EXPECT_EQ(msg.Result, 7);  // the change the first handler made
    calls.push_back("second");
  };
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));

  // A new broadcast starts with a fresh record.
  calls.clear();
  second.OnMessage = [&](TMessage& msg) {
    EXPECT_EQ(msg.Msg, 12u);
    calls.push_back("second");
  };
  first.OnMessage = [&](TMessage& msg) { EXPECT_EQ(msg.Result, 0); };
  BroadcastMessage(12);
  EXPECT_EQ(calls, std::vector<std::string>{"second"});
}

TEST(MessageMonitorTest, HandlerErrorDoesNotKeepTheCodeFromLaterMonitors) {
  TrkMessageMonitor failing;
  TrkMessageMonitor later;
  int laterCalls = 0;
  failing.OnMessage = [](TMessage&) { throw std::runtime_error("handler failed"); };
  later.OnMessage = [&](TMessage&) { ++laterCalls; };
  EXPECT_NO_THROW(BroadcastMessage(NOTIFY_LANGUAGE_CHANGED));
  EXPECT_EQ(laterCalls, 1);
}

TEST(MessageMonitorTest, DestroyedMonitorGetsNothingAndTheWalkEndsWhereTheListEnds) {
  std::vector<std::string> calls;
  auto first = std::make_unique<TrkMessageMonitor>();
  auto second = std::make_unique<TrkMessageMonitor>();
  auto third = std::make_unique<TrkMessageMonitor>();
  second->OnMessage = [&](TMessage&) { calls.push_back("second"); };
  third->OnMessage = [&](TMessage&) { calls.push_back("third"); };
  // The first handler destroys its own monitor: the list shifts, so the walk
  // goes on at the monitor now at the next index (the third) and the count
  // taken at the start makes it stop when the list runs out.
  first->OnMessage = [&](TMessage&) {
    calls.push_back("first");
    first.reset();
  };
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "third"}));

  calls.clear();
  second.reset();
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);
  EXPECT_EQ(calls, std::vector<std::string>{"third"});
}

TEST(MessageMonitorTest, MonitorCreatedDuringABroadcastWaitsForTheNextOne) {
  int newcomerCalls = 0;
  std::unique_ptr<TrkMessageMonitor> newcomer;
  TrkMessageMonitor creator;
  creator.OnMessage = [&](TMessage&) {
    if (newcomer) return;
    newcomer = std::make_unique<TrkMessageMonitor>();
    newcomer->OnMessage = [&](TMessage&) { ++newcomerCalls; };
  };
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);
  EXPECT_EQ(newcomerCalls, 0);
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);
  EXPECT_EQ(newcomerCalls, 1);
}

}  // namespace
}  // namespace zl
