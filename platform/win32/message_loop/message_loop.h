// The event loop of a Windows thread with windows: the thread's message
// queue. Posted and synchronised calls arrive as a message to a hidden
// message-only window, so they also run inside modal loops (a message box);
// sockets are selected to that window (WSAAsyncSelect), so their readiness
// ends the message wait; timers are kept against the loop's Clock, so a
// virtual clock runs them without waiting. ProcessPending dispatches every
// message waiting in the thread's queue (the programs' windows' as well) and
// then what of the loop's own work is due.
//
// Readiness is handed out as the poll loop does (whenever the socket is ready
// for what is asked): a notification only wakes the loop, which then asks the
// sockets' current state.
#pragma once

#include <atomic>

#include "shared/support/queued_event_loop.h"

namespace zl::win32 {

class MessageLoop final : public QueuedEventLoop {
 public:
  // The loop belongs to the creating thread (its window and message queue)
  // and becomes its Current().
  explicit MessageLoop(Clock& clock);
  ~MessageLoop() override;
  MessageLoop(const MessageLoop&) = delete;
  MessageLoop& operator=(const MessageLoop&) = delete;

 protected:
  // One pass: the thread's messages, calls, ready sockets, due timers; with
  // nothing ready, a wait of at most timeoutMs for the next message.
  bool Iterate(int timeoutMs) override;
  void Wake() override;
  // Selects the socket to the window for what the watch asks, or deselects it.
  void WatchChanged(const Watch& watch) override;
  void WatchRemoved(platform::SocketHandle socket) override;

 private:
  static std::intptr_t __stdcall WindowProcedure(void* window, unsigned message, std::uintptr_t wParam,
                                                 std::intptr_t lParam);
  bool HandleReady();
  bool PumpMessages();
  bool DispatchSockets();

  void* window_ = nullptr;
  std::atomic<bool> notified_{false};  // a wake-up message is in the queue
};

}  // namespace zl::win32
