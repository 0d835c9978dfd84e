// The event loop of a Windows thread with windows: the thread's message
// queue. Posted and synchronised calls arrive as messages to a hidden
// message-only window; sockets are selected to that window (WSAAsyncSelect),
// so their readiness wakes the message wait; timers are kept against the
// loop's Clock, so a virtual clock runs them without waiting. ProcessPending
// dispatches every message waiting in the thread's queue (the programs'
// windows' as well) and then what of the loop's own work is due.
//
// Readiness is handed out as the poll loop does (whenever the socket is ready
// for what is asked): a notification only wakes the loop, which then asks the
// sockets' current state.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "shared/support/event_loop.h"

namespace zl::win32 {

class MessageLoop final : public EventLoop {
 public:
  // The loop belongs to the creating thread (its window and message queue)
  // and becomes its Current().
  explicit MessageLoop(Clock& clock);
  ~MessageLoop() override;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

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
  // Runs for `duration` of the clock's time, timer by timer on a virtual clock.
  void RunFor(std::chrono::milliseconds duration);

 private:
  struct TimerEntry {
    std::chrono::milliseconds interval;
    std::chrono::milliseconds due;
    std::shared_ptr<Task> task;
  };
  struct Watch {
    platform::SocketHandle socket;
    bool read;
    bool write;
    std::shared_ptr<SocketHandler> handler;
  };
  struct SyncCall {
    Task task;
    std::exception_ptr error;
    bool done = false;
  };

  static std::intptr_t __stdcall WindowProcedure(void* window, unsigned message, std::uintptr_t wParam,
                                                 std::intptr_t lParam);
  bool Iterate(int timeoutMs);
  bool PumpMessages();
  bool RunQueuedCalls();
  bool DispatchSockets();
  bool FireDueTimers();
  void Select(const Watch& watch);
  std::chrono::milliseconds NextTimerDue() const;
  bool HasQueuedCalls();
  void Notify();

  Clock& clock_;
  std::thread::id owner_;
  void* window_ = nullptr;

  std::map<TimerId, TimerEntry> timers_;
  TimerId nextTimerId_ = 1;
  std::map<WatchId, Watch> watches_;
  WatchId nextWatchId_ = 1;

  std::mutex callsLock_;
  std::condition_variable callsDone_;
  std::deque<Task> posted_;
  std::deque<SyncCall*> syncCalls_;
  bool notified_ = false;  // a wake-up message is in the queue

  std::atomic<bool> quit_{false};
};

}  // namespace zl::win32
