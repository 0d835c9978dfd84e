#include "shared/support/queued_event_loop.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <vector>

namespace zl {

using std::chrono::milliseconds;

namespace {

int ClampWait(milliseconds wait) {
  return static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, std::numeric_limits<int>::max()));
}

}  // namespace

QueuedEventLoop::QueuedEventLoop(Clock& clock) : clock_(clock), owner_(std::this_thread::get_id()) {
  SetCurrent(this);
}

QueuedEventLoop::~QueuedEventLoop() {
  if (Current() == this) SetCurrent(nullptr);
  // Release callers still blocked in Synchronize: their call never runs.
  std::lock_guard lock(callsLock_);
  for (SyncCall* call : syncCalls_) {
    call->error = std::make_exception_ptr(std::runtime_error("event loop destroyed"));
    call->done = true;
  }
  syncCalls_.clear();
  callsDone_.notify_all();
}

void QueuedEventLoop::AdoptCurrentThread() {
  owner_ = std::this_thread::get_id();
  SetCurrent(this);
}

bool QueuedEventLoop::IsLoopThread() const { return owner_.load() == std::this_thread::get_id(); }

EventLoop::TimerId QueuedEventLoop::StartTimer(milliseconds interval, Task onFire) {
  interval = std::max(interval, milliseconds(1));
  const TimerId id = nextTimerId_++;
  timers_.emplace(id, TimerEntry{interval, clock_.Now() + interval, std::make_shared<Task>(std::move(onFire))});
  return id;
}

void QueuedEventLoop::StopTimer(TimerId id) { timers_.erase(id); }

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

void QueuedEventLoop::Post(Task task) {
  {
    std::lock_guard lock(callsLock_);
    posted_.push_back(std::move(task));
  }
  Wake();
}

void QueuedEventLoop::Synchronize(Task task) {
  if (IsLoopThread()) {
    task();
    return;
  }
  SyncCall call{std::move(task)};
  std::unique_lock lock(callsLock_);
  syncCalls_.push_back(&call);
  Wake();
  callsDone_.wait(lock, [&] { return call.done; });
  if (call.error) std::rethrow_exception(call.error);
}

bool QueuedEventLoop::HasQueuedCalls() {
  std::lock_guard lock(callsLock_);
  return !posted_.empty() || !syncCalls_.empty();
}

bool QueuedEventLoop::RunQueuedCalls() {
  // Only the calls queued so far: a call that queues another does not keep
  // this pass going for ever.
  std::deque<Task> posted;
  std::deque<SyncCall*> syncCalls;
  {
    std::lock_guard lock(callsLock_);
    posted.swap(posted_);
    syncCalls.swap(syncCalls_);
  }
  for (Task& task : posted) task();
  for (SyncCall* call : syncCalls) {
    std::exception_ptr error;
    try {
      call->task();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(callsLock_);
    call->error = error;
    call->done = true;
  }
  if (!syncCalls.empty()) callsDone_.notify_all();
  return !posted.empty() || !syncCalls.empty();
}

bool QueuedEventLoop::FireDueTimers() {
  const milliseconds now = clock_.Now();
  std::vector<TimerId> due;
  for (const auto& [id, timer] : timers_) {
    if (timer.due <= now) due.push_back(id);
  }
  std::sort(due.begin(), due.end(), [&](TimerId a, TimerId b) {
    const auto& ta = timers_.at(a);
    const auto& tb = timers_.at(b);
    return ta.due != tb.due ? ta.due < tb.due : a < b;
  });
  for (TimerId id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // stopped by an earlier handler
    // The next period counts from this firing; missed periods are not caught up.
    it->second.due = clock_.Now() + it->second.interval;
    std::shared_ptr<Task> task = it->second.task;
    (*task)();
  }
  return !due.empty();
}

milliseconds QueuedEventLoop::NextTimerDue() const {
  milliseconds next = milliseconds::max();
  for (const auto& [id, timer] : timers_) next = std::min(next, timer.due);
  return next;
}

void QueuedEventLoop::ProcessPending() { Iterate(0); }

void QueuedEventLoop::RunUntilIdle() {
  while (Iterate(0) || HasQueuedCalls()) {
  }
}

void QueuedEventLoop::RunFor(milliseconds duration) {
  const milliseconds end = clock_.Now() + duration;
  if (clock_.IsVirtual()) {
    auto& clock = static_cast<VirtualClock&>(clock_);
    for (;;) {
      RunUntilIdle();
      const milliseconds next = NextTimerDue();
      if (next > end) break;
      clock.AdvanceTo(next);
    }
    clock.AdvanceTo(end);
    RunUntilIdle();
    return;
  }
  for (;;) {
    const milliseconds now = clock_.Now();
    if (now >= end) break;
    Iterate(ClampWait(std::min(end, NextTimerDue()) - now));
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
    Iterate(next == milliseconds::max() ? -1 : ClampWait(next - clock_.Now()));
  }
}

void QueuedEventLoop::Quit() {
  quit_ = true;
  Wake();
}

}  // namespace zl
