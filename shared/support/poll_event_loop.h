// The event loop of the service, the tools and the tests, over the platform's
// Poller (timers, calls and the running schemes: queued_event_loop.h).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "shared/support/queued_event_loop.h"

namespace zl {

class PollEventLoop final : public QueuedEventLoop {
 public:
  // The loop belongs to the thread that creates it and becomes its Current().
  explicit PollEventLoop(Clock& clock);
  ~PollEventLoop() override;

  // Waits for sockets and calls (never moving a virtual clock) until `done`
  // holds or `ioLimit` of wall time passed without it. Returns done().
  // Meant for tests of real sockets, where data is in flight on loopback.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds ioLimit = std::chrono::seconds(10));

 protected:
  // One pass: calls, sockets (waiting at most timeoutMs), due timers.
  bool Iterate(int timeoutMs) override;
  void Wake() override { poller_.Wake(); }

 private:
  bool DispatchSockets(int timeoutMs);

  platform::Poller poller_;
  std::vector<platform::PollEntry> pollEntries_;
  std::vector<WatchId> pollIds_;
};

}  // namespace zl
