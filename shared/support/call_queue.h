// The calls an event loop runs for other threads: posted calls and
// synchronised calls whose callers block until their call has run. Post and
// Synchronize may be called from any thread; the loop thread runs the queue.
// `wake` (any thread) tells the loop that something was queued.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

#include "shared/support/event_loop.h"

namespace zl {

class CallQueue {
 public:
  explicit CallQueue(std::function<void()> wake) : wake_(std::move(wake)) {}
  // Callers still blocked get an error: their call never runs.
  ~CallQueue();
  CallQueue(const CallQueue&) = delete;
  CallQueue& operator=(const CallQueue&) = delete;

  void Post(EventLoop::Task task);
  // Queues the task and blocks until the loop ran it; rethrows its exception.
  // Not for the loop's own thread (it would wait for itself).
  void SynchronizeFromOtherThread(EventLoop::Task task);

  // Runs the calls queued so far (a call that queues another leaves that one
  // for the next pass). Returns whether any ran. Every queued call runs even
  // when a posted one throws; the first such error is rethrown afterwards.
  bool RunQueued();
  bool HasQueued();

 private:
  struct SyncCall {
    EventLoop::Task task;
    std::exception_ptr error;
    bool done = false;
  };

  std::function<void()> wake_;
  std::mutex lock_;
  std::condition_variable callsDone_;
  std::deque<EventLoop::Task> posted_;
  std::deque<SyncCall*> syncCalls_;
};

}  // namespace zl
