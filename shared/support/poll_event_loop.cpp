#include "shared/support/poll_event_loop.h"

#include <algorithm>
#include <limits>

namespace zl {

using std::chrono::milliseconds;

PollEventLoop::PollEventLoop(Clock& clock)
    : clock_(clock), owner_(std::this_thread::get_id()), timers_(clock), calls_([this] { poller_.Wake(); }) {
  SetCurrent(this);
}

PollEventLoop::~PollEventLoop() {
  if (Current() == this) SetCurrent(nullptr);
}

void PollEventLoop::AdoptCurrentThread() {
  owner_ = std::this_thread::get_id();
  SetCurrent(this);
}

bool PollEventLoop::IsLoopThread() const { return owner_.load() == std::this_thread::get_id(); }

EventLoop::TimerId PollEventLoop::StartTimer(milliseconds interval, Task onFire) {
  return timers_.Start(interval, std::move(onFire));
}

void PollEventLoop::StopTimer(TimerId id) { timers_.Stop(id); }

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

void PollEventLoop::Post(Task task) { calls_.Post(std::move(task)); }

void PollEventLoop::Synchronize(Task task) {
  if (IsLoopThread()) {
    task();
    return;
  }
  calls_.SynchronizeFromOtherThread(std::move(task));
}

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
  bool handled = calls_.RunQueued();
  handled |= DispatchSockets(handled ? 0 : timeoutMs);
  handled |= timers_.FireDue();
  return handled;
}

void PollEventLoop::ProcessPending() { Iterate(0); }

void PollEventLoop::RunUntilIdle() {
  while (Iterate(0) || calls_.HasQueued()) {
  }
}

void PollEventLoop::RunFor(milliseconds duration) {
  if (clock_.IsVirtual()) {
    RunVirtualTime(static_cast<VirtualClock&>(clock_), timers_, duration, [this] { RunUntilIdle(); });
    return;
  }
  const milliseconds end = clock_.Now() + duration;
  for (;;) {
    const milliseconds now = clock_.Now();
    if (now >= end) break;
    Iterate(WallWaitMs(clock_, std::min(end, timers_.NextDue()) - now));
  }
  RunUntilIdle();
}

bool PollEventLoop::RunUntil(const std::function<bool()>& done, milliseconds ioLimit) {
  // The limit is real time, whatever rate the machine's clock runs at.
  SystemClock wall(1);
  const milliseconds giveUp = wall.Now() + ioLimit;
  while (!done()) {
    const milliseconds left = giveUp - wall.Now();
    if (left.count() <= 0) break;
    int wait = static_cast<int>(std::min<std::int64_t>(left.count(), 50));
    if (!clock_.IsVirtual()) {
      const milliseconds next = timers_.NextDue();
      if (next != milliseconds::max()) wait = std::min(wait, WallWaitMs(clock_, next - clock_.Now()));
    }
    Iterate(wait);
  }
  return done();
}

void PollEventLoop::Run() {
  quit_ = false;
  while (!quit_) {
    const milliseconds next = timers_.NextDue();
    if (clock_.IsVirtual()) {
      if (Iterate(0) || calls_.HasQueued()) continue;
      // Nothing ready: with no timer left only a socket or a call can wake us.
      if (next == milliseconds::max()) {
        Iterate(-1);
      } else {
        static_cast<VirtualClock&>(clock_).AdvanceTo(next);
      }
      continue;
    }
    int wait = -1;
    if (next != milliseconds::max()) {
      wait = WallWaitMs(clock_, next - clock_.Now());
    }
    Iterate(wait);
  }
}

void PollEventLoop::Quit() {
  quit_ = true;
  poller_.Wake();
}

}  // namespace zl
