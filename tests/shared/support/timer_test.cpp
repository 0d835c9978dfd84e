#include "shared/support/timer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "shared/support/poll_event_loop.h"

namespace zl {
namespace {

using std::chrono::milliseconds;

class TimerTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  PollEventLoop loop{clock};
  std::vector<long long> firedAt;
  void Record() { firedAt.push_back(clock.Now().count()); }
};

TEST_F(TimerTest, FiresEveryIntervalWhileEnabled) {
  Timer timer(loop);
  timer.SetInterval(5000);
  timer.OnTimer = [&] { Record(); };
  loop.RunFor(milliseconds(16000));
  EXPECT_EQ(firedAt, (std::vector<long long>{5000, 10000, 15000}));
}

TEST_F(TimerTest, DisablingAndReenablingRestartsThePeriod) {
  Timer timer(loop);
  timer.SetInterval(1000);
  timer.OnTimer = [&] { Record(); };
  loop.RunFor(milliseconds(700));
  timer.SetEnabled(false);
  loop.RunFor(milliseconds(1000));  // nothing while disabled
  timer.SetEnabled(true);           // at 1700: next firing one full period later
  loop.RunFor(milliseconds(1500));
  EXPECT_EQ(firedAt, (std::vector<long long>{2700}));
}

TEST_F(TimerTest, ChangingTheIntervalRestartsThePeriod) {
  Timer timer(loop);
  timer.OnTimer = [&] { Record(); };
  loop.RunFor(milliseconds(900));
  timer.SetInterval(300);
  loop.RunFor(milliseconds(700));
  EXPECT_EQ(firedAt, (std::vector<long long>{1200, 1500}));
}

TEST_F(TimerTest, ZeroIntervalNeverFires) {
  Timer timer(loop);
  timer.SetInterval(0);
  timer.OnTimer = [&] { Record(); };
  loop.RunFor(milliseconds(5000));
  EXPECT_TRUE(firedAt.empty());
}

TEST_F(TimerTest, AHandlerMayDisableAndReenableItsOwnTimer) {
  Timer timer(loop);
  timer.SetInterval(100);
  timer.OnTimer = [&] {
    Record();
    timer.SetEnabled(false);
    clock.Advance(milliseconds(50));  // work done while the timer is off
    timer.SetEnabled(true);
  };
  loop.RunFor(milliseconds(320));
  EXPECT_EQ(firedAt, (std::vector<long long>{100, 250}));
}

TEST_F(TimerTest, AHandlerMayDestroyItsOwnTimer) {
  auto timer = std::make_unique<Timer>(loop);
  timer->SetInterval(100);
  timer->OnTimer = [&] {
    Record();
    timer.reset();
  };
  loop.RunFor(milliseconds(500));
  EXPECT_EQ(firedAt, (std::vector<long long>{100}));
  EXPECT_EQ(timer, nullptr);
}

TEST_F(TimerTest, ADestroyedTimerNeverFires) {
  {
    Timer timer(loop);
    timer.SetInterval(100);
    timer.OnTimer = [&] { Record(); };
  }
  loop.RunFor(milliseconds(500));
  EXPECT_TRUE(firedAt.empty());
}

}  // namespace
}  // namespace zl
