#include "shared/support/queued_event_loop.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace zl {

using std::chrono::milliseconds;

QueuedEventLoop::QueuedEventLoop(Clock& clock)
    : clock_(clock), owner_(std::this_thread::get_id()), timers_(clock), calls_([this] { Wake(); }) {
  SetCurrent(this);
}

// The call queue releases callers still blocked in Synchronize.
QueuedEventLoop::~QueuedEventLoop() {
  if (Current() == this) SetCurrent(nullptr);
}

void QueuedEventLoop::AdoptCurrentThread() {
  owner_ = std::this_thread::get_id();
  SetCurrent(this);
}

bool QueuedEventLoop::IsLoopThread() const { return owner_.load() == std::this_thread::get_id(); }

EventLoop::TimerId QueuedEventLoop::StartTimer(milliseconds interval, Task onFire) {
  return timers_.Start(interval, std::move(onFire));
}

void QueuedEventLoop::StopTimer(TimerId id) { timers_.Stop(id); }

EventLoop::WatchId QueuedEventLoop::WatchSocket(platform::SocketHandle socket, bool read, bool write,
                                                SocketHandler handler) {
  const WatchId id = nextWatchId_++;
  const auto [it, inserted] =
      watches_.emplace(id, Watch{socket, read, write, std::make_shared<SocketHandler>(std::move(handler))});
  WatchChanged(it->second);
  return id;
}

void QueuedEventLoop::ChangeWatch(WatchId id, bool read, bool write) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  it->second.read = read;
  it->second.write = write;
  WatchChanged(it->second);
}

void QueuedEventLoop::RemoveWatch(WatchId id) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  const platform::SocketHandle socket = it->second.socket;
  watches_.erase(it);
  WatchRemoved(socket);
}

bool QueuedEventLoop::DispatchReadiness(const std::vector<std::pair<WatchId, unsigned>>& ready) {
  bool handled = false;
  for (auto [id, readiness] : ready) {
    auto it = watches_.find(id);
    if (it == watches_.end()) continue;
    const unsigned wanted = readiness & (platform::kHangUp | (it->second.read ? platform::kReadable : 0u) |
                                         (it->second.write ? platform::kWritable : 0u));
    if (!wanted) continue;
    std::shared_ptr<SocketHandler> handler = it->second.handler;
    (*handler)(wanted);
    handled = true;
  }
  return handled;
}

void QueuedEventLoop::Post(Task task) { calls_.Post(std::move(task)); }

void QueuedEventLoop::Synchronize(Task task) {
  if (IsLoopThread()) {
    task();
    return;
  }
  calls_.SynchronizeFromOtherThread(std::move(task));
}

void QueuedEventLoop::ProcessPending() { Iterate(0); }

void QueuedEventLoop::RunUntilIdle() {
  while (Iterate(0) || HasQueuedCalls()) {
  }
}

void QueuedEventLoop::RunFor(milliseconds duration) {
  if (clock_.IsVirtual()) {
    RunVirtualTime(static_cast<VirtualClock&>(clock_), timers_, duration, [this] { RunUntilIdle(); });
    return;
  }
  const milliseconds end = clock_.Now() + duration;
  for (;;) {
    const milliseconds now = clock_.Now();
    if (now >= end) break;
    Iterate(WallWaitMs(clock_, std::min(end, NextTimerDue()) - now));
  }
  RunUntilIdle();
}

void QueuedEventLoop::Run() {
  quit_ = false;
  while (!quit_) {
    const milliseconds next = NextTimerDue();
    if (clock_.IsVirtual()) {
      if (Iterate(0) || HasQueuedCalls()) continue;
      // Nothing ready: with no timer left only a socket or a call can wake us.
      if (next == milliseconds::max()) {
        Iterate(-1);
      } else {
        static_cast<VirtualClock&>(clock_).AdvanceTo(next);
      }
      continue;
    }
    Iterate(next == milliseconds::max() ? -1 : WallWaitMs(clock_, next - clock_.Now()));
  }
}

void QueuedEventLoop::Quit() {
  quit_ = true;
  Wake();
}

}  // namespace zl
