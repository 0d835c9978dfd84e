// The Timer component: fires OnTimer every Interval milliseconds while
// Enabled and Interval > 0, on its event loop's thread (an unassigned OnTimer
// lets the period pass silently). Changing Enabled or Interval restarts the
// period. A handler may disable, re-enable or destroy its own timer.
#pragma once

#include <functional>
#include <memory>

#include "shared/support/event_loop.h"

namespace zl {

class Timer {
 public:
  explicit Timer(EventLoop& loop);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned milliseconds);

  std::function<void()> OnTimer;

 private:
  void Restart();

  EventLoop& loop_;
  bool enabled_ = true;
  unsigned interval_ = 1000;
  EventLoop::TimerId timerId_ = 0;
  // Shared with the loop's callback, so a handler that destroys this timer
  // leaves the callback something valid to look at.
  std::shared_ptr<Timer*> self_;
};

}  // namespace zl
