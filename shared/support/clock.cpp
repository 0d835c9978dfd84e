#include "shared/support/clock.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <thread>

#include "zl/platform/clock_rate.h"

namespace zl {
namespace {

// Days since 1970-01-01 of a civil date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
}

constexpr std::int64_t kMsPerDay = 86'400'000;

}  // namespace

std::int64_t LocalDateTimeToMs(const LocalDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * kMsPerDay +
         ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond;
}

LocalDateTime LocalDateTimeFromMs(std::int64_t ms) {
  std::int64_t days = ms / kMsPerDay;
  std::int64_t rest = ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  LocalDateTime t;
  CivilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3'600'000);
  t.minute = static_cast<int>(rest / 60'000 % 60);
  t.second = static_cast<int>(rest / 1000 % 60);
  t.millisecond = static_cast<int>(rest % 1000);
  return t;
}

std::chrono::microseconds WallTimeFor(std::chrono::milliseconds clockSpan, std::uint32_t rate) {
  if (clockSpan.count() <= 0) return std::chrono::microseconds(0);
  rate = std::max<std::uint32_t>(rate, 1);
  const std::int64_t us = clockSpan.count() * 1000;
  return std::chrono::microseconds((us + rate - 1) / rate);
}

int WallWaitMs(const Clock& clock, std::chrono::milliseconds clockSpan) {
  const std::int64_t us = WallTimeFor(clockSpan, clock.Rate()).count();
  return static_cast<int>(std::min<std::int64_t>((us + 999) / 1000, std::numeric_limits<int>::max()));
}

std::chrono::milliseconds ClockTimeFor(std::chrono::nanoseconds wallSpan, std::uint32_t rate) {
  rate = std::max<std::uint32_t>(rate, 1);
  // Whole microseconds first: nanoseconds since boot times 1000 would overflow.
  const std::int64_t us = wallSpan.count() / 1000;
  return std::chrono::milliseconds(us / 1000 * rate + us % 1000 * rate / 1000);
}

SystemClock::SystemClock() : SystemClock(platform::MachineClockRate()) {}

SystemClock::SystemClock(std::uint32_t rate) : rate_(std::clamp<std::uint32_t>(rate, 1, platform::kMaxClockRate)) {}

std::chrono::milliseconds SystemClock::Now() const {
  return ClockTimeFor(std::chrono::steady_clock::now().time_since_epoch(), rate_);
}

LocalDateTime SystemClock::LocalNow() const {
  // std::localtime shares one static result; the lock keeps threads apart.
  static std::mutex localTimeLock;
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::lock_guard lock(localTimeLock);
  const std::tm* tm = std::localtime(&seconds);
  LocalDateTime t;
  t.year = tm->tm_year + 1900;
  t.month = tm->tm_mon + 1;
  t.day = tm->tm_mday;
  t.hour = tm->tm_hour;
  t.minute = tm->tm_min;
  t.second = tm->tm_sec;
  t.millisecond = static_cast<int>(ms);
  return t;
}

void SystemClock::Pause(std::chrono::milliseconds duration) {
  // Until Now() has moved on by the duration: a sleep rounded to whole
  // milliseconds of clock time could otherwise end a little early.
  const std::chrono::milliseconds end = Now() + duration;
  for (std::chrono::milliseconds now = Now(); now < end; now = Now()) {
    std::this_thread::sleep_for(WallTimeFor(end - now, rate_));
  }
}

VirtualClock::VirtualClock(LocalDateTime start) : startLocalMs_(LocalDateTimeToMs(start)) {}

std::chrono::milliseconds VirtualClock::Now() const { return std::chrono::milliseconds(nowMs_.load()); }

LocalDateTime VirtualClock::LocalNow() const { return LocalDateTimeFromMs(startLocalMs_ + nowMs_.load()); }

void VirtualClock::Advance(std::chrono::milliseconds duration) {
  if (duration.count() > 0) nowMs_.fetch_add(duration.count());
}

void VirtualClock::AdvanceTo(std::chrono::milliseconds time) {
  std::int64_t current = nowMs_.load();
  while (time.count() > current && !nowMs_.compare_exchange_weak(current, time.count())) {
  }
}

}  // namespace zl
