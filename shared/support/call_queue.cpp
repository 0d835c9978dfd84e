#include "shared/support/call_queue.h"

#include <stdexcept>

namespace zl {

CallQueue::~CallQueue() {
  std::lock_guard lock(lock_);
  for (SyncCall* call : syncCalls_) {
    call->error = std::make_exception_ptr(std::runtime_error("event loop destroyed"));
    call->done = true;
  }
  syncCalls_.clear();
  callsDone_.notify_all();
}

void CallQueue::Post(EventLoop::Task task) {
  {
    std::lock_guard lock(lock_);
    posted_.push_back(std::move(task));
  }
  wake_();
}

void CallQueue::SynchronizeFromOtherThread(EventLoop::Task task) {
  SyncCall call{std::move(task)};
  std::unique_lock lock(lock_);
  syncCalls_.push_back(&call);
  wake_();
  callsDone_.wait(lock, [&] { return call.done; });
  if (call.error) std::rethrow_exception(call.error);
}

bool CallQueue::HasQueued() {
  std::lock_guard lock(lock_);
  return !posted_.empty() || !syncCalls_.empty();
}

bool CallQueue::RunQueued() {
  std::deque<EventLoop::Task> posted;
  std::deque<SyncCall*> syncCalls;
  {
    std::lock_guard lock(lock_);
    posted.swap(posted_);
    syncCalls.swap(syncCalls_);
  }
  // A posted call that fails does not keep the others from running, nor a
  // blocked caller from being released; its error comes out at the end.
  std::exception_ptr postedError;
  for (EventLoop::Task& task : posted) {
    try {
      task();
    } catch (...) {
      if (!postedError) postedError = std::current_exception();
    }
  }
  for (SyncCall* call : syncCalls) {
    std::exception_ptr error;
    try {
      call->task();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(lock_);
    call->error = error;
    call->done = true;
  }
  if (!syncCalls.empty()) callsDone_.notify_all();
  if (postedError) std::rethrow_exception(postedError);
  return !posted.empty() || !syncCalls.empty();
}

}  // namespace zl
