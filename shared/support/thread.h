// A thread object in the manner of the framework's thread class: created
// suspended, started by Resume, with a terminate-request flag the body looks
// at, and an end-of-thread handler that runs on the event loop's thread once
// the body has returned. The object frees itself: the running thread keeps it
// alive, and so does the end-of-thread call until it has run (or the loop has
// dropped it).
//
// Once its owner has dropped the end-of-thread handler, the thread posts
// nothing more to the loop, so the owner may then destroy the loop while the
// thread still runs down.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "shared/support/event_loop.h"

namespace zl {

class Thread : public std::enable_shared_from_this<Thread> {
 public:
  explicit Thread(EventLoop& loop) : loop_(loop) {}
  virtual ~Thread() = default;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts the body on a thread of its own; once only.
  void Resume();
  // Any thread.
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // The body has returned.
  bool Finished() const { return finished_; }

  // Set on the loop's thread before Resume; read there when the end-of-thread
  // call runs.
  std::function<void()> OnTerminate;
  // On the loop's thread: the handler is not called, and once this returns
  // the thread touches the loop no more.
  void DropTerminateHandler();

 protected:
  // The body. An exception it lets escape ends the thread like a return.
  virtual void Execute() = 0;
  EventLoop& Loop() const { return loop_; }

 private:
  void Run(std::shared_ptr<Thread> self);

  EventLoop& loop_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool resumed_ = false;
  std::mutex endLock_;  // orders the end-of-thread post against DropTerminateHandler
  bool handlerDropped_ = false;
};

}  // namespace zl
