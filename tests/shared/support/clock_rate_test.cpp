// The system clock at the machine's clock rate: the mapping between real and
// clock time, where the rate comes from, and an event loop's timers and a
// pause following it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "shared/support/clock.h"
#include "shared/support/poll_event_loop.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/clock_rate.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/registry.h"

namespace zl {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

TEST(ClockRateMappingTest, WallTimeIsRoundedUpAndClockTimeDown) {
  struct Case {
    std::int64_t clockMs;
    std::uint32_t rate;
    std::int64_t wallUs;
  };
  const Case toWall[] = {
      {5000, 1, 5'000'000}, {5000, 10, 500'000}, {20000, 1000, 20'000},
      {1, 1000, 1},         {1, 3, 334},         {0, 10, 0},
      {-5, 10, 0},          {7, 0, 7000},  // rate 0 counts as real time
  };
  for (const auto& c : toWall) {
    EXPECT_EQ(WallTimeFor(milliseconds(c.clockMs), c.rate), microseconds(c.wallUs)) << c.clockMs << " at " << c.rate;
  }
  struct Back {
    std::int64_t wallNs;
    std::uint32_t rate;
    std::int64_t clockMs;
  };
  const Back toClock[] = {
      {1'000'000, 1, 1},  {999'999, 1, 0},        {500'000'000, 10, 5000}, {334'000, 3, 1},
      {333'000, 3, 0},    {20'000'000, 1000, 20000},
      // Days since boot at the highest rate still fit.
      {86'400'000'000'000LL * 30, 1000, 86'400'000LL * 30 * 1000},
  };
  for (const auto& c : toClock) {
    EXPECT_EQ(ClockTimeFor(nanoseconds(c.wallNs), c.rate), milliseconds(c.clockMs)) << c.wallNs << " at " << c.rate;
  }
  // A wait of WallTimeFor never leaves the clock short of the span.
  for (std::uint32_t rate : {1u, 3u, 7u, 10u, 999u, 1000u}) {
    for (std::int64_t span : {1, 2, 999, 1000, 4999, 60000}) {
      const auto wall = WallTimeFor(milliseconds(span), rate);
      EXPECT_GE(ClockTimeFor(wall, rate), milliseconds(span)) << span << " at " << rate;
    }
  }
}

TEST(ClockRateMappingTest, SystemClockKeepsItsRateWithinBounds) {
  EXPECT_EQ(SystemClock(0).Rate(), 1u);
  EXPECT_EQ(SystemClock(25).Rate(), 25u);
  EXPECT_EQ(SystemClock(platform::kMaxClockRate + 1).Rate(), platform::kMaxClockRate);
  EXPECT_EQ(VirtualClock().Rate(), 1u);
}

TEST(MachineClockRateTest, IsRealTimeUnlessTheMachineSaysOtherwise) {
  test::EmulatedMachine machine;
  EXPECT_EQ(platform::MachineClockRate(), 1u);
  EXPECT_EQ(SystemClock().Rate(), 1u);

  ASSERT_TRUE(platform::machine::SetClockRate(10));
  EXPECT_EQ(platform::MachineClockRate(), 10u);
  EXPECT_EQ(SystemClock().Rate(), 10u);
  EXPECT_FALSE(platform::machine::SetClockRate(0));
  EXPECT_FALSE(platform::machine::SetClockRate(platform::kMaxClockRate + 1));
  EXPECT_EQ(platform::MachineClockRate(), 10u);
  ASSERT_TRUE(platform::machine::SetClockRate(1));
  EXPECT_EQ(platform::MachineClockRate(), 1u);
}

TEST(MachineClockRateTest, AValueWrittenByHandIsKeptInBounds) {
  test::EmulatedMachine machine;
  const struct {
    std::uint32_t stored;
    std::uint32_t rate;
  } cases[] = {{0, 1}, {1, 1}, {50, 50}, {1000, 1000}, {100000, 1000}};
  for (const auto& c : cases) {
    platform::RegistryKey key;
    ASSERT_EQ(key.Create("EmulatedMachine", platform::kKeyWrite), 0u);
    ASSERT_EQ(key.SetValue("ClockRate", platform::MakeDwordValue(c.stored)), 0u);
    EXPECT_EQ(platform::MachineClockRate(), c.rate) << c.stored;
  }
}

TEST(MachineClockRateTest, WithoutAMachineTheClockRunsInRealTime) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(platform::machine::SetClockRate(20));
  const std::string saved = machine.Directory();
  unsetenv("ZEPHLINK_MACHINE");
  EXPECT_EQ(platform::MachineClockRate(), 1u);
  setenv("ZEPHLINK_MACHINE", saved.c_str(), 1);
}

// At rate 100 a minute of the programs' time is 0.6 s of real time, so the
// real clock's paths run without waiting for them, with room for a loaded
// machine's late wake-ups.
TEST(FastSystemClockTest, TimersAndPausesFollowTheRate) {
  SystemClock clock(100);
  PollEventLoop loop(clock);
  int reports = 0, silences = 0;
  loop.StartTimer(milliseconds(20000), [&] { ++reports; });
  loop.StartTimer(milliseconds(60000), [&] { ++silences; });
  const auto wallStart = std::chrono::steady_clock::now();
  const milliseconds start = clock.Now();
  loop.RunFor(milliseconds(61000));
  EXPECT_GE(clock.Now() - start, milliseconds(61000));
  EXPECT_EQ(silences, 1);
  EXPECT_GE(reports, 2);  // 20 s and 40 s; 60 s may fall a hair after the end
  EXPECT_LE(reports, 3);

  const milliseconds beforePause = clock.Now();
  clock.Pause(milliseconds(5000));
  EXPECT_GE(clock.Now() - beforePause, milliseconds(5000));
  // Both together are 66 s of clock time; in real time far below that.
  EXPECT_LT(std::chrono::steady_clock::now() - wallStart, std::chrono::seconds(10));
}

// RunUntil's limit is one of real time even when the machine's clock runs
// faster: tests waiting for real sockets must get the time they ask for.
TEST(FastSystemClockTest, RunUntilWaitsItsLimitInRealTime) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(platform::machine::SetClockRate(1000));
  SystemClock clock;
  ASSERT_EQ(clock.Rate(), 1000u);
  PollEventLoop loop(clock);
  const auto wallStart = std::chrono::steady_clock::now();
  EXPECT_FALSE(loop.RunUntil([] { return false; }, milliseconds(300)));
  // Whole milliseconds of the clock: it may end a fraction early, never a
  // thousandth of the time (what the machine's rate would make of it).
  EXPECT_GE(std::chrono::steady_clock::now() - wallStart, milliseconds(290));
}

}  // namespace
}  // namespace zl
