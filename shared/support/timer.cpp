#include "shared/support/timer.h"

namespace zl {

Timer::Timer(EventLoop& loop) : loop_(loop), self_(std::make_shared<Timer*>(this)) { Restart(); }

Timer::~Timer() {
  *self_ = nullptr;
  if (timerId_) loop_.StopTimer(timerId_);
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
}

void Timer::SetInterval(unsigned milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Restart();
}

void Timer::Restart() {
  if (timerId_) {
    loop_.StopTimer(timerId_);
    timerId_ = 0;
  }
  if (!enabled_ || interval_ == 0) return;
  std::weak_ptr<Timer*> weakSelf = self_;
  timerId_ = loop_.StartTimer(std::chrono::milliseconds(interval_), [weakSelf] {
    auto self = weakSelf.lock();
    if (!self || !*self || !(*self)->OnTimer) return;
    // A copy: the handler may replace OnTimer or destroy the timer.
    std::function<void()> handler = (*self)->OnTimer;
    handler();
  });
}

}  // namespace zl
