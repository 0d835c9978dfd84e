// What the event loops of the platform share: the timer table kept against
// the loop's Clock, the socket watches, the queues of posted and synchronised
// calls, and the running schemes built on one pass of the loop (Iterate). A
// loop adds how it waits and how it learns the sockets' readiness. With a
// VirtualClock nothing waits on the wall clock for a timer: time moves only
// through RunFor, or, inside Run, straight to the next timer once nothing
// else is ready.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "shared/support/call_queue.h"
#include "shared/support/event_loop.h"
#include "shared/support/timer_table.h"

namespace zl {

class QueuedEventLoop : public EventLoop {
 public:
  // The loop belongs to the thread that creates it and becomes its Current().
  explicit QueuedEventLoop(Clock& clock);
  // Callers still blocked in Synchronize are released with an error.
  ~QueuedEventLoop() override;
  QueuedEventLoop(const QueuedEventLoop&) = delete;
  QueuedEventLoop& operator=(const QueuedEventLoop&) = delete;

  Clock& GetClock() override { return clock_; }
  TimerId StartTimer(std::chrono::milliseconds interval, Task onFire) override;
  void StopTimer(TimerId id) override;
  WatchId WatchSocket(platform::SocketHandle socket, bool read, bool write, SocketHandler handler) override;
  void ChangeWatch(WatchId id, bool read, bool write) override;
  void RemoveWatch(WatchId id) override;
  void Post(Task task) override;
  void Synchronize(Task task) override;
  void ProcessPending() override;
  void Run() override;
  void Quit() override;
  bool IsLoopThread() const override;

  // Handles everything ready until nothing is, without moving the clock.
  void RunUntilIdle();
  // Runs for `duration` of the clock's time, firing timers in time order. A
  // virtual clock is advanced timer by timer; a system clock is waited on.
  void RunFor(std::chrono::milliseconds duration);

  // Transfers the loop to the calling thread (for a loop created on one
  // thread and run on another) and makes it that thread's Current().
  void AdoptCurrentThread();

 protected:
  struct Watch {
    platform::SocketHandle socket;
    bool read;
    bool write;
    std::shared_ptr<SocketHandler> handler;
  };

  // One pass: whatever is ready, waiting at most `timeoutMs` (negative: no
  // limit) when nothing is. Returns whether anything was handled.
  virtual bool Iterate(int timeoutMs) = 0;
  // Ends a wait of Iterate from any thread.
  virtual void Wake() = 0;

  // Runs the calls queued so far; whether there were any.
  bool RunQueuedCalls() { return calls_.RunQueued(); }
  bool HasQueuedCalls() { return calls_.HasQueued(); }
  // Fires the timers that are due, in time order; whether any was.
  bool FireDueTimers() { return timers_.FireDue(); }
  std::chrono::milliseconds NextTimerDue() const { return timers_.NextDue(); }  // max() when none
  bool QuitRequested() const { return quit_; }

  const std::map<WatchId, Watch>& Watches() const { return watches_; }
  // Hands each readiness to its watch's handler: only to watches still there
  // (an earlier handler may remove any) and only what the watch asks for, a
  // hang-up always. Whether any handler ran.
  bool DispatchReadiness(const std::vector<std::pair<WatchId, unsigned>>& ready);
  // For loops that register sockets elsewhere: a watch was added or changed;
  // a watch of this socket was removed.
  virtual void WatchChanged(const Watch& /*watch*/) {}
  virtual void WatchRemoved(platform::SocketHandle /*socket*/) {}

 private:
  Clock& clock_;
  std::atomic<std::thread::id> owner_;

  TimerTable timers_;

  std::map<WatchId, Watch> watches_;
  WatchId nextWatchId_ = 1;

  CallQueue calls_;  // wakes the loop through Wake()

  std::atomic<bool> quit_{false};
};

}  // namespace zl
