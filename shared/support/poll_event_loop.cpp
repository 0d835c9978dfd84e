#include "shared/support/poll_event_loop.h"

#include <algorithm>
#include <limits>

namespace zl {

using std::chrono::milliseconds;

PollEventLoop::PollEventLoop(Clock& clock) : QueuedEventLoop(clock) {}

PollEventLoop::~PollEventLoop() = default;

bool PollEventLoop::DispatchSockets(int timeoutMs) {
  pollEntries_.clear();
  pollIds_.clear();
  for (const auto& [id, watch] : Watches()) {
    if (!watch.read && !watch.write) continue;
    pollEntries_.push_back({watch.socket, watch.read, watch.write, 0});
    pollIds_.push_back(id);
  }
  if (pollEntries_.empty() && timeoutMs == 0) return false;
  if (poller_.Wait(pollEntries_, timeoutMs) == 0) return false;

  // Handlers may add, change or remove watches (their own included); copy
  // what this pass dispatches first.
  std::vector<std::pair<WatchId, unsigned>> ready;
  for (std::size_t i = 0; i < pollEntries_.size(); ++i) {
    if (pollEntries_[i].ready) ready.emplace_back(pollIds_[i], pollEntries_[i].ready);
  }
  return DispatchReadiness(ready);
}

bool PollEventLoop::Iterate(int timeoutMs) {
  bool handled = RunQueuedCalls();
  handled |= DispatchSockets(handled ? 0 : timeoutMs);
  handled |= FireDueTimers();
  return handled;
}

bool PollEventLoop::RunUntil(const std::function<bool()>& done, milliseconds ioLimit) {
  // The limit is real time, whatever rate the machine's clock runs at.
  SystemClock wall(1);
  const milliseconds giveUp = wall.Now() + ioLimit;
  while (!done()) {
    const milliseconds left = giveUp - wall.Now();
    if (left.count() <= 0) break;
    int wait = static_cast<int>(std::min<std::int64_t>(left.count(), 50));
    Clock& clock = GetClock();
    if (!clock.IsVirtual()) {
      const milliseconds next = NextTimerDue();
      if (next != milliseconds::max()) wait = std::min(wait, WallWaitMs(clock, next - clock.Now()));
    }
    Iterate(wait);
  }
  return done();
}

}  // namespace zl
