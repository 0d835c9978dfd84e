#include "shared/support/clock.h"

#include <gtest/gtest.h>

namespace zl {
namespace {

TEST(VirtualClockTest, LocalTimeMovesWithMonotonicTimeAcrossDayAndYearBoundaries) {
  VirtualClock clock({2026, 12, 31, 23, 59, 59, 500});
  clock.Advance(std::chrono::milliseconds(499));
  EXPECT_EQ(clock.LocalNow(), (LocalDateTime{2026, 12, 31, 23, 59, 59, 999}));
  clock.Advance(std::chrono::milliseconds(1));
  EXPECT_EQ(clock.LocalNow(), (LocalDateTime{2027, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(clock.Now(), std::chrono::milliseconds(500));
}

TEST(VirtualClockTest, PauseAdvancesAndAdvanceToNeverGoesBack) {
  VirtualClock clock;
  clock.Pause(std::chrono::seconds(5));
  EXPECT_EQ(clock.Now(), std::chrono::milliseconds(5000));
  clock.AdvanceTo(std::chrono::milliseconds(1000));
  EXPECT_EQ(clock.Now(), std::chrono::milliseconds(5000));
  clock.AdvanceTo(std::chrono::milliseconds(7000));
  EXPECT_EQ(clock.Now(), std::chrono::milliseconds(7000));
}

TEST(CalendarTest, RoundTripsThroughLeapDays) {
  const LocalDateTime cases[] = {
      {2024, 2, 29, 12, 0, 0, 0}, {2000, 2, 29, 0, 0, 0, 1}, {1999, 12, 31, 23, 59, 59, 999},
      {2100, 3, 1, 0, 0, 0, 0},   {1970, 1, 1, 0, 0, 0, 0},
  };
  for (const auto& t : cases) EXPECT_EQ(LocalDateTimeFromMs(LocalDateTimeToMs(t)), t);
  EXPECT_EQ(LocalDateTimeToMs({1970, 1, 2, 0, 0, 0, 0}), 86'400'000);
  // 2100 is not a leap year: 28 February is followed by 1 March.
  EXPECT_EQ(LocalDateTimeToMs({2100, 3, 1, 0, 0, 0, 0}) - LocalDateTimeToMs({2100, 2, 28, 0, 0, 0, 0}), 86'400'000);
}

TEST(SystemClockTest, LocalTimeIsAPlausibleCalendarDate) {
  SystemClock clock;
  const LocalDateTime t = clock.LocalNow();
  EXPECT_GE(t.year, 2024);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_GE(t.day, 1);
  EXPECT_LE(t.day, 31);
  const auto before = clock.Now();
  clock.Pause(std::chrono::milliseconds(2));
  EXPECT_GE(clock.Now() - before, std::chrono::milliseconds(2));
}

}  // namespace
}  // namespace zl
