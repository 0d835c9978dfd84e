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
#include <map>
#include <memory>

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

  WatchId WatchSocket(platform::SocketHandle socket, bool read, bool write, SocketHandler handler) override;
  void ChangeWatch(WatchId id, bool read, bool write) override;
  void RemoveWatch(WatchId id) override;

 protected:
  // One pass: the thread's messages, calls, ready sockets, due timers; with
  // nothing ready, a wait of at most timeoutMs for the next message.
  bool Iterate(int timeoutMs) override;
  void Wake() override;

 private:
  struct Watch {
    platform::SocketHandle socket;
    bool read;
    bool write;
    std::shared_ptr<SocketHandler> handler;
  };

  static std::intptr_t __stdcall WindowProcedure(void* window, unsigned message, std::uintptr_t wParam,
                                                 std::intptr_t lParam);
  bool HandleReady();
  bool PumpMessages();
  bool DispatchSockets();
  void Select(const Watch& watch);

  void* window_ = nullptr;
  std::map<WatchId, Watch> watches_;
  WatchId nextWatchId_ = 1;
  std::atomic<bool> notified_{false};  // a wake-up message is in the queue
};

}  // namespace zl::win32
