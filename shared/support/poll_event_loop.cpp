#include "shared/support/poll_event_loop.h"

#include <algorithm>
#include <limits>

namespace zl {

using std::chrono::milliseconds;

PollEventLoop::PollEventLoop(Clock& clock) : QueuedEventLoop(clock) {}

PollEventLoop::~PollEventLoop() = default;

EventLoop::WatchId PollEventLoop::WatchSocket(platform::SocketHandle socket, bool read, bool write,
                                              SocketHandler handler) {
  const WatchId id = nextWatchId_++;
  watches_.emplace(id, Watch{socket, read, write, std::make_shared<SocketHandler>(std::move(handler))});
  return id;
}

void PollEventLoop::ChangeWatch(WatchId id, bool read, bool write) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  it->second.read = read;
  it->second.write = write;
}

void PollEventLoop::RemoveWatch(WatchId id) { watches_.erase(id); }

bool PollEventLoop::DispatchSockets(int timeoutMs) {
  pollEntries_.clear();
  pollIds_.clear();
  for (const auto& [id, watch] : watches_) {
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
  bool handled = false;
  for (auto [id, readiness] : ready) {
    auto it = watches_.find(id);
    if (it == watches_.end()) continue;
    unsigned wanted = readiness & (platform::kHangUp | (it->second.read ? platform::kReadable : 0u) |
                                   (it->second.write ? platform::kWritable : 0u));
    if (!wanted) continue;
    std::shared_ptr<SocketHandler> handler = it->second.handler;
    (*handler)(wanted);
    handled = true;
  }
  return handled;
}

bool PollEventLoop::Iterate(int timeoutMs) {
  bool handled = RunQueuedCalls();
  handled |= DispatchSockets(handled ? 0 : timeoutMs);
  handled |= FireDueTimers();
  return handled;
}

bool PollEventLoop::RunUntil(const std::function<bool()>& done, milliseconds ioLimit) {
  SystemClock wall;
  const milliseconds giveUp = wall.Now() + ioLimit;
  while (!done()) {
    const milliseconds left = giveUp - wall.Now();
    if (left.count() <= 0) break;
    int wait = static_cast<int>(std::min<std::int64_t>(left.count(), 50));
    if (!GetClock().IsVirtual()) {
      const milliseconds untilTimer = NextTimerDue() - GetClock().Now();
      wait = static_cast<int>(std::clamp<std::int64_t>(untilTimer.count(), 0, wait));
    }
    Iterate(wait);
  }
  return done();
}

}  // namespace zl
