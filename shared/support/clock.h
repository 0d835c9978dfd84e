// Time as the programs see it: a monotonic count, the local date and time, and
// a blocking pause. Tests use VirtualClock so that long timeouts and pauses run
// instantly and deterministically.
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
};

class SystemClock final : public Clock {
 public:
  std::chrono::milliseconds Now() const override;
  LocalDateTime LocalNow() const override;
  void Pause(std::chrono::milliseconds duration) override;
  bool IsVirtual() const override { return false; }
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
