// The event loop every component of both programs lives in: timers, socket
// readiness watches, posted calls, synchronised calls from other threads, and
// ProcessPending for the re-entrant pumping done while a command is awaited.
//
// All handlers run on the loop's thread. Post, Synchronize and Quit may be
// called from any thread; everything else only on the loop's thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "shared/support/clock.h"
#include "zl/platform/poller.h"

namespace zl {

class EventLoop {
 public:
  using Task = std::function<void()>;
  using SocketHandler = std::function<void(unsigned readiness)>;  // platform::Readiness bits
  using TimerId = std::uint64_t;
  using WatchId = std::uint64_t;

  virtual ~EventLoop() = default;

  virtual Clock& GetClock() = 0;

  // A periodic timer: fires every `interval` (at least 1 ms) from now on until
  // stopped. A handler may stop its own timer or start others.
  virtual TimerId StartTimer(std::chrono::milliseconds interval, Task onFire) = 0;
  virtual void StopTimer(TimerId id) = 0;

  // Calls the handler whenever the socket is ready for what is asked.
  virtual WatchId WatchSocket(platform::SocketHandle socket, bool read, bool write, SocketHandler handler) = 0;
  virtual void ChangeWatch(WatchId id, bool read, bool write) = 0;
  virtual void RemoveWatch(WatchId id) = 0;

  // Runs the task on the loop's thread, later, in the order posted.
  virtual void Post(Task task) = 0;
  // Runs the task on the loop's thread and blocks until it has run; an
  // exception it throws is rethrown to the caller. On the loop's thread the
  // task runs at once.
  virtual void Synchronize(Task task) = 0;

  // Handles whatever is ready now (posted and synchronised calls, ready
  // sockets, due timers) without waiting, then returns. May be called from
  // inside a handler.
  virtual void ProcessPending() = 0;

  // Runs until Quit is called.
  virtual void Run() = 0;
  virtual void Quit() = 0;

  virtual bool IsLoopThread() const = 0;

  // The loop of the calling thread, or null. Routines that keep window
  // messages flowing while they wait (a command being awaited) pump this one.
  static EventLoop* Current();

 protected:
  // Implementations register themselves for the thread they run on.
  static void SetCurrent(EventLoop* loop);
};

// The clock of the process's time-dependent routines (service waits, time
// stamps). A SystemClock unless a test or tool installs another; the clock
// must outlive its use.
Clock& ProcessClock();
void SetProcessClock(Clock* clock);  // null restores the system clock

}  // namespace zl
