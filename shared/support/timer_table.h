// The timers of an event loop, on its clock: which are running, when each is
// due next, and firing the due ones in time order. Shared by the loop
// implementations; loop thread only.
#pragma once

#include <chrono>
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

}  // namespace zl
