// The event loop of the service, the tools and the tests, over the platform's
// Poller. With a VirtualClock it never waits on the wall clock for a timer:
// time moves only through RunFor, or, inside Run, straight to the next timer
// once nothing else is ready.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "shared/support/call_queue.h"
#include "shared/support/event_loop.h"
#include "shared/support/timer_table.h"

namespace zl {

class PollEventLoop final : public EventLoop {
 public:
  // The loop belongs to the thread that creates it and becomes its Current().
  explicit PollEventLoop(Clock& clock);
  ~PollEventLoop() override;

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
  // Waits for sockets and calls (never moving a virtual clock) until `done`
  // holds or `ioLimit` of wall time passed without it. Returns done().
  // Meant for tests of real sockets, where data is in flight on loopback.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds ioLimit = std::chrono::seconds(10));

  // Transfers the loop to the calling thread (for a loop created on one
  // thread and run on another) and makes it that thread's Current().
  void AdoptCurrentThread();

 private:
  struct Watch {
    platform::SocketHandle socket;
    bool read;
    bool write;
    std::shared_ptr<SocketHandler> handler;
  };

  // One pass: calls, sockets (waiting at most timeoutMs), due timers.
  // Returns whether anything was handled.
  bool Iterate(int timeoutMs);
  bool DispatchSockets(int timeoutMs);

  Clock& clock_;
  std::atomic<std::thread::id> owner_;
  platform::Poller poller_;

  TimerTable timers_;

  std::map<WatchId, Watch> watches_;
  WatchId nextWatchId_ = 1;
  std::vector<platform::PollEntry> pollEntries_;
  std::vector<WatchId> pollIds_;

  CallQueue calls_;

  std::atomic<bool> quit_{false};
};

}  // namespace zl
