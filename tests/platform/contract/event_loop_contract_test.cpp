// What every event loop of the platform does alike: timers on a virtual
// clock, posted calls in order, synchronised calls from other threads, and
// re-entrant pumping.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/contract/contract_environment.h"

namespace zl {
namespace {

using std::chrono::milliseconds;

class EventLoopContract : public ::testing::TestWithParam<contract::LoopKind> {
 protected:
  VirtualClock clock;
  std::unique_ptr<EventLoop> loop = GetParam().make(clock);
  std::vector<std::string> log;
};

TEST_P(EventLoopContract, TimersFireInTimeOrderWithoutWaiting) {
  loop->StartTimer(milliseconds(300), [&] { log.push_back("300@" + std::to_string(clock.Now().count())); });
  const auto fast = loop->StartTimer(milliseconds(200), [&] { log.push_back("200@" + std::to_string(clock.Now().count())); });
  GetParam().runFor(*loop, milliseconds(650));
  EXPECT_EQ(log, (std::vector<std::string>{"200@200", "300@300", "200@400", "300@600", "200@600"}));
  loop->StopTimer(fast);
  log.clear();
  GetParam().runFor(*loop, milliseconds(300));
  EXPECT_EQ(log, (std::vector<std::string>{"300@900"}));
}

TEST_P(EventLoopContract, PostedCallsRunInOrderAndProcessPendingIsReentrant) {
  loop->Post([&] {
    log.push_back("a");
    loop->Post([&] { log.push_back("c"); });
    loop->ProcessPending();
    log.push_back("a-end");
  });
  loop->Post([&] { log.push_back("b"); });
  EXPECT_TRUE(log.empty());
  GetParam().runUntilIdle(*loop);
  EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "a-end", "b"}));
}

TEST_P(EventLoopContract, SynchronizeRunsOnTheLoopThreadAndReturnsItsException) {
  EXPECT_TRUE(loop->IsLoopThread());
  EXPECT_EQ(EventLoop::Current(), loop.get());
  bool ranOnLoop = false;
  bool threw = false;
  bool done = false;
  std::thread other([&] {
    EXPECT_FALSE(loop->IsLoopThread());
    loop->Synchronize([&] { ranOnLoop = loop->IsLoopThread(); });
    try {
      loop->Synchronize([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error& e) {
      threw = std::string(e.what()) == "refused";
    }
    loop->Post([&] { done = true; });
  });
  const bool finished = GetParam().runUntil(*loop, [&] { return done; });
  other.join();
  EXPECT_TRUE(finished);
  EXPECT_TRUE(ranOnLoop);
  EXPECT_TRUE(threw);
  // On its own thread a synchronised call runs at once.
  bool now = false;
  loop->Synchronize([&] { now = true; });
  EXPECT_TRUE(now);
}

TEST_P(EventLoopContract, ACallPostedFromAnotherThreadWakesAnIdleRun) {
  // No timer and nothing ready: Run sleeps until the other thread's call arrives.
  std::thread other([&] {
    loop->Post([&] {
      log.push_back("posted");
      loop->Quit();
    });
  });
  loop->Run();
  other.join();
  EXPECT_EQ(log, (std::vector<std::string>{"posted"}));
  EXPECT_EQ(clock.Now(), milliseconds(0));
}

INSTANTIATE_TEST_SUITE_P(Loops, EventLoopContract, ::testing::ValuesIn(contract::EventLoopKinds()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zl
