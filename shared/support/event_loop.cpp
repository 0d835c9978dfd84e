#include "shared/support/event_loop.h"

#include <atomic>

namespace zl {
namespace {

thread_local EventLoop* currentLoop = nullptr;

SystemClock& TheSystemClock() {
  static SystemClock clock;
  return clock;
}

std::atomic<Clock*> processClock{nullptr};

}  // namespace

EventLoop* EventLoop::Current() { return currentLoop; }

void EventLoop::SetCurrent(EventLoop* loop) { currentLoop = loop; }

Clock& ProcessClock() {
  Clock* clock = processClock.load();
  return clock ? *clock : TheSystemClock();
}

void SetProcessClock(Clock* clock) { processClock.store(clock); }

}  // namespace zl
