// Time as the programs see it: a monotonic count, the local date and time, and
// a blocking pause. Tests use VirtualClock so that long timeouts and pauses run
// instantly and deterministically. The system clock runs at the machine's
// clock rate: monotonic time, pauses and the waits for timers go that many
// times faster than real time, while the local date and time stay the real
// ones (time stamps and daily files keep meaning what they say).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

#include "zl/platform/local_date_time.h"

namespace zl {

using LocalDateTime = platform::LocalDateTime;

class Clock {
 public:
  virtual ~Clock() = default;

  // Monotonic time since an arbitrary origin.
  virtual std::chrono::milliseconds Now() const = 0;
  virtual LocalDateTime LocalNow() const = 0;
  // Blocks the calling thread (a virtual clock only moves its time on).
  virtual void Pause(std::chrono::milliseconds duration) = 0;
  // A virtual clock moves only when told to; an event loop then advances it
  // itself instead of waiting on the wall clock.
  virtual bool IsVirtual() const = 0;
  // How many times faster than real time Now() moves; an event loop divides
  // the clock time it waits for by it. 1 for every clock but a faster system clock.
  virtual std::uint32_t Rate() const { return 1; }
};

// Real time for a span of clock time at a rate, rounded up, so that a wait of
// that length never ends before the clock has moved on by the span.
std::chrono::microseconds WallTimeFor(std::chrono::milliseconds clockSpan, std::uint32_t rate);
// The same in whole real milliseconds, as a poll time-out (0 for a span that
// is due already).
int WallWaitMs(const Clock& clock, std::chrono::milliseconds clockSpan);
// Clock time passed at a rate while real time moves on by `wallSpan`, rounded down.
std::chrono::milliseconds ClockTimeFor(std::chrono::nanoseconds wallSpan, std::uint32_t rate);

class SystemClock final : public Clock {
 public:
  // At the machine's clock rate, read once here.
  SystemClock();
  // At a given rate (1 to platform::kMaxClockRate).
  explicit SystemClock(std::uint32_t rate);

  std::chrono::milliseconds Now() const override;
  LocalDateTime LocalNow() const override;
  void Pause(std::chrono::milliseconds duration) override;
  bool IsVirtual() const override { return false; }
  std::uint32_t Rate() const override { return rate_; }

 private:
  std::uint32_t rate_;
};

// Starts at monotonic time 0 and the given local date and time; both move
// together. Safe to use from several threads.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(LocalDateTime start = {2026, 1, 5, 9, 0, 0, 0});

  std::chrono::milliseconds Now() const override;
  LocalDateTime LocalNow() const override;
  void Pause(std::chrono::milliseconds duration) override { Advance(duration); }
  bool IsVirtual() const override { return true; }

  void Advance(std::chrono::milliseconds duration);
  // Moves to an absolute monotonic time; never backwards.
  void AdvanceTo(std::chrono::milliseconds time);

 private:
  std::atomic<std::int64_t> nowMs_{0};
  std::int64_t startLocalMs_;  // local date-time of time 0, as ms since 1970-01-01 00:00
};

// Calendar helpers shared by the clocks: proleptic Gregorian, no time zones.
std::int64_t LocalDateTimeToMs(const LocalDateTime& t);
LocalDateTime LocalDateTimeFromMs(std::int64_t msSinceEpoch);

}  // namespace zl
