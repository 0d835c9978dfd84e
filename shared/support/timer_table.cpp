#include "shared/support/timer_table.h"

#include <algorithm>
#include <vector>

namespace zl {

using std::chrono::milliseconds;

EventLoop::TimerId TimerTable::Start(milliseconds interval, EventLoop::Task onFire) {
  interval = std::max(interval, milliseconds(1));
  const EventLoop::TimerId id = nextId_++;
  timers_.emplace(id, Entry{interval, clock_.Now() + interval, std::make_shared<EventLoop::Task>(std::move(onFire))});
  return id;
}

void TimerTable::Stop(EventLoop::TimerId id) { timers_.erase(id); }

bool TimerTable::FireDue() {
  const milliseconds now = clock_.Now();
  std::vector<EventLoop::TimerId> due;
  for (const auto& [id, timer] : timers_) {
    if (timer.due <= now) due.push_back(id);
  }
  std::sort(due.begin(), due.end(), [&](EventLoop::TimerId a, EventLoop::TimerId b) {
    const auto& ta = timers_.at(a);
    const auto& tb = timers_.at(b);
    return ta.due != tb.due ? ta.due < tb.due : a < b;
  });
  for (EventLoop::TimerId id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // stopped by an earlier handler
    it->second.due = clock_.Now() + it->second.interval;
    std::shared_ptr<EventLoop::Task> task = it->second.task;
    (*task)();
  }
  return !due.empty();
}

milliseconds TimerTable::NextDue() const {
  milliseconds next = milliseconds::max();
  for (const auto& [id, timer] : timers_) next = std::min(next, timer.due);
  return next;
}

void RunVirtualTime(VirtualClock& clock, const TimerTable& timers, milliseconds duration,
                    const std::function<void()>& runUntilIdle) {
  const milliseconds end = clock.Now() + duration;
  for (;;) {
    runUntilIdle();
    const milliseconds next = timers.NextDue();
    if (next > end) break;
    clock.AdvanceTo(next);
  }
  clock.AdvanceTo(end);
  runUntilIdle();
}

}  // namespace zl
