// The timers of an event loop, on its clock: which are running, when each is
// due next, and firing the due ones in time order. Shared by the loop
// implementations; loop thread only.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "shared/support/event_loop.h"

namespace zl {

class TimerTable {
 public:
  explicit TimerTable(Clock& clock) : clock_(clock) {}

  // Periodic from now on; intervals below 1 ms count as 1 ms.
  EventLoop::TimerId Start(std::chrono::milliseconds interval, EventLoop::Task onFire);
  void Stop(EventLoop::TimerId id);

  // Fires every timer due now, earliest first (equal times in starting
  // order); a handler may stop or start timers. The next period counts from
  // the firing, missed periods are not caught up. Returns whether any fired.
  bool FireDue();
  // When the earliest timer is due; max() when none runs.
  std::chrono::milliseconds NextDue() const;

 private:
  struct Entry {
    std::chrono::milliseconds interval;
    std::chrono::milliseconds due;
    std::shared_ptr<EventLoop::Task> task;  // kept alive while it runs
  };

  Clock& clock_;
  std::map<EventLoop::TimerId, Entry> timers_;
  EventLoop::TimerId nextId_ = 1;
};

// Runs `duration` of a virtual clock's time as a loop's RunFor does: handles
// whatever is ready (`runUntilIdle`), moves the clock to the next timer due
// within the duration, and again, then to the end.
void RunVirtualTime(VirtualClock& clock, const TimerTable& timers, std::chrono::milliseconds duration,
                    const std::function<void()>& runUntilIdle);

}  // namespace zl
