// The event loop of the control panel on Linux: the model's timers, socket
// watches and calls run inside Qt's event loop, so window events, timers and
// sockets interleave as the window messages of the product do. ProcessPending
// handles Qt's pending events too, which keeps the window alive while a
// command is awaited.
//
// Timers follow the loop's Clock. With a system clock one Qt timer wakes the
// loop for the earliest of them; with a virtual clock time moves only through
// RunFor (tests). Socket watches are QSocketNotifiers. Needs a
// QCoreApplication (or QApplication) on the creating thread.
#pragma once

#include <chrono>
#include <exception>
#include <functional>
#include <map>
#include <memory>

#include "shared/support/call_queue.h"
#include "shared/support/event_loop.h"
#include "shared/support/timer_table.h"

class QObject;
class QSocketNotifier;
class QTimer;

namespace zl {

class QtEventLoop final : public EventLoop {
 public:
  explicit QtEventLoop(Clock& clock);
  ~QtEventLoop() override;

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
  // Virtual clock: runs `duration` of clock time, timer by timer, handling
  // Qt's events between them.
  void RunFor(std::chrono::milliseconds duration);
  // Waits for sockets, calls and Qt events until `done` holds or `ioLimit`
  // of wall time passed; never moves a virtual clock. Returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds ioLimit = std::chrono::seconds(10));

  // An exception escaping a handler must not cross Qt's event dispatch; it
  // goes here instead. Without a handler it is dropped.
  void SetExceptionHandler(std::function<void(std::exception_ptr)> handler) { onException_ = std::move(handler); }

 private:
  struct Watch {
    platform::SocketHandle socket;
    bool read = false;
    bool write = false;
    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
    std::shared_ptr<SocketHandler> handler;
  };

  void Guarded(const std::function<void()>& work);
  void RescheduleTimers();
  void FireTimers();
  bool ProcessQtEvents();
  void SocketActivated(WatchId id, unsigned readiness);
  void ApplyWatch(WatchId id, Watch& watch);
  static void Release(QSocketNotifier*& notifier);

  Clock& clock_;
  const void* ownerThread_;  // the QThread the loop was created on
  std::unique_ptr<QObject> context_;
  QTimer* wakeTimer_ = nullptr;  // owned by context_
  TimerTable timers_;
  std::map<WatchId, Watch> watches_;
  WatchId nextWatchId_ = 1;
  std::function<void(std::exception_ptr)> onException_;
  CallQueue calls_;  // last: its wake reaches context_
};

}  // namespace zl
