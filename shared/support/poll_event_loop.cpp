#include "shared/support/poll_event_loop.h"

#include <algorithm>
#include <limits>

namespace zl {

using std::chrono::milliseconds;

namespace {

// The poll time-out, in real milliseconds, for a span of the clock's time.
int WallWaitMs(const Clock& clock, milliseconds clockSpan) {
  const auto us = WallTimeFor(clockSpan, clock.Rate()).count();
  return static_cast<int>(std::min<std::int64_t>((us + 999) / 1000, std::numeric_limits<int>::max()));
}

}  // namespace

PollEventLoop::PollEventLoop(Clock& clock) : clock_(clock), owner_(std::this_thread::get_id()) { SetCurrent(this); }

PollEventLoop::~PollEventLoop() {
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

void PollEventLoop::AdoptCurrentThread() {
  owner_ = std::this_thread::get_id();
  SetCurrent(this);
}

bool PollEventLoop::IsLoopThread() const { return owner_.load() == std::this_thread::get_id(); }

EventLoop::TimerId PollEventLoop::StartTimer(milliseconds interval, Task onFire) {
  interval = std::max(interval, milliseconds(1));
  const TimerId id = nextTimerId_++;
  timers_.emplace(id, TimerEntry{interval, clock_.Now() + interval, std::make_shared<Task>(std::move(onFire))});
  return id;
}

void PollEventLoop::StopTimer(TimerId id) { timers_.erase(id); }

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

void PollEventLoop::Post(Task task) {
  {
    std::lock_guard lock(callsLock_);
    posted_.push_back(std::move(task));
  }
  poller_.Wake();
}

void PollEventLoop::Synchronize(Task task) {
  if (IsLoopThread()) {
    task();
    return;
  }
  SyncCall call{std::move(task)};
  std::unique_lock lock(callsLock_);
  syncCalls_.push_back(&call);
  poller_.Wake();
  callsDone_.wait(lock, [&] { return call.done; });
  if (call.error) std::rethrow_exception(call.error);
}

bool PollEventLoop::HasQueuedCalls() {
  std::lock_guard lock(callsLock_);
  return !posted_.empty() || !syncCalls_.empty();
}

bool PollEventLoop::RunQueuedCalls() {
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

bool PollEventLoop::FireDueTimers() {
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

milliseconds PollEventLoop::NextTimerDue() const {
  milliseconds next = milliseconds::max();
  for (const auto& [id, timer] : timers_) next = std::min(next, timer.due);
  return next;
}

bool PollEventLoop::Iterate(int timeoutMs) {
  bool handled = RunQueuedCalls();
  handled |= DispatchSockets(handled ? 0 : timeoutMs);
  handled |= FireDueTimers();
  return handled;
}

void PollEventLoop::ProcessPending() { Iterate(0); }

void PollEventLoop::RunUntilIdle() {
  while (Iterate(0) || HasQueuedCalls()) {
  }
}

void PollEventLoop::RunFor(milliseconds duration) {
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
    Iterate(WallWaitMs(clock_, std::min(end, NextTimerDue()) - now));
  }
  RunUntilIdle();
}

bool PollEventLoop::RunUntil(const std::function<bool()>& done, milliseconds ioLimit) {
  SystemClock wall;
  const milliseconds giveUp = wall.Now() + ioLimit;
  while (!done()) {
    const milliseconds left = giveUp - wall.Now();
    if (left.count() <= 0) break;
    int wait = static_cast<int>(std::min<std::int64_t>(left.count(), 50));
    if (!clock_.IsVirtual()) {
      const milliseconds next = NextTimerDue();
      if (next != milliseconds::max()) wait = std::min(wait, WallWaitMs(clock_, next - clock_.Now()));
    }
    Iterate(wait);
  }
  return done();
}

void PollEventLoop::Run() {
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
