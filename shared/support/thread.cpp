#include "shared/support/thread.h"

#include <thread>

namespace zl {

void Thread::Resume() {
  if (resumed_) return;
  resumed_ = true;
  std::thread([this, self = shared_from_this()]() mutable { Run(std::move(self)); }).detach();
}

void Thread::Run(std::shared_ptr<Thread> self) {
  try {
    Execute();
  } catch (...) {
  }
  finished_ = true;
  std::lock_guard lock(endLock_);
  if (handlerDropped_) return;
  try {
    loop_.Post([self] {
      if (self->handlerDropped_ || !self->OnTerminate) return;
      // A copy: the handler may replace the member while it runs.
      const std::function<void()> handler = self->OnTerminate;
      handler();
    });
  } catch (...) {
  }
}

void Thread::DropTerminateHandler() {
  std::lock_guard lock(endLock_);
  handlerDropped_ = true;
  OnTerminate = nullptr;
}

}  // namespace zl
