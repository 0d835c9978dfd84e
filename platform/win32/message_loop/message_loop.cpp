#include "message_loop.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace zl::win32 {

using std::chrono::milliseconds;

namespace {

constexpr UINT kCallsMessage = WM_APP + 1;   // posted or synchronised calls wait
constexpr UINT kSocketMessage = WM_APP + 2;  // a selected socket changed state
constexpr wchar_t kWindowClass[] = L"ZephlinkMessageLoop";

constexpr long kAllEvents = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

HWND AsWindow(void* window) { return static_cast<HWND>(window); }

void RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;  // replaced per window below
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass) != 0;
  }();
  if (!registered) throw std::runtime_error("message loop: window class not registered");
}

}  // namespace

std::intptr_t __stdcall MessageLoop::WindowProcedure(void* window, unsigned message, std::uintptr_t wParam,
                                                     std::intptr_t lParam) {
  auto* loop = reinterpret_cast<MessageLoop*>(GetWindowLongPtrW(AsWindow(window), GWLP_USERDATA));
  if (loop != nullptr && message == kCallsMessage) {
    {
      std::lock_guard lock(loop->callsLock_);
      loop->notified_ = false;
    }
    loop->RunQueuedCalls();
    return 0;
  }
  if (loop != nullptr && message == kSocketMessage) return 0;  // the pass after the message looks at the sockets
  return DefWindowProcW(AsWindow(window), message, wParam, lParam);
}

MessageLoop::MessageLoop(Clock& clock) : clock_(clock), owner_(std::this_thread::get_id()) {
  RegisterWindowClass();
  HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) throw std::runtime_error("message loop: no message window");
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageLoop::WindowProcedure));
  window_ = window;
  SetCurrent(this);
}

MessageLoop::~MessageLoop() {
  if (Current() == this) SetCurrent(nullptr);
  for (const auto& [id, watch] : watches_) WSAAsyncSelect(static_cast<SOCKET>(watch.socket), AsWindow(window_), 0, 0);
  SetWindowLongPtrW(AsWindow(window_), GWLP_USERDATA, 0);
  DestroyWindow(AsWindow(window_));
  // Release callers still blocked in Synchronize: their call never runs.
  std::lock_guard lock(callsLock_);
  for (SyncCall* call : syncCalls_) {
    call->error = std::make_exception_ptr(std::runtime_error("event loop destroyed"));
    call->done = true;
  }
  syncCalls_.clear();
  callsDone_.notify_all();
}

bool MessageLoop::IsLoopThread() const { return owner_ == std::this_thread::get_id(); }

EventLoop::TimerId MessageLoop::StartTimer(milliseconds interval, Task onFire) {
  interval = std::max(interval, milliseconds(1));
  const TimerId id = nextTimerId_++;
  timers_.emplace(id, TimerEntry{interval, clock_.Now() + interval, std::make_shared<Task>(std::move(onFire))});
  return id;
}

void MessageLoop::StopTimer(TimerId id) { timers_.erase(id); }

void MessageLoop::Select(const Watch& watch) {
  // WSAAsyncSelect leaves the socket non-blocking, as the boundary's sockets are.
  WSAAsyncSelect(static_cast<SOCKET>(watch.socket), AsWindow(window_), kSocketMessage,
                 watch.read || watch.write ? kAllEvents : 0);
}

EventLoop::WatchId MessageLoop::WatchSocket(platform::SocketHandle socket, bool read, bool write,
                                            SocketHandler handler) {
  const WatchId id = nextWatchId_++;
  auto [it, inserted] =
      watches_.emplace(id, Watch{socket, read, write, std::make_shared<SocketHandler>(std::move(handler))});
  Select(it->second);
  return id;
}

void MessageLoop::ChangeWatch(WatchId id, bool read, bool write) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  it->second.read = read;
  it->second.write = write;
  Select(it->second);
}

void MessageLoop::RemoveWatch(WatchId id) {
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  const platform::SocketHandle socket = it->second.socket;
  watches_.erase(it);
  // Another watch of the same socket keeps its selection.
  for (const auto& [other, watch] : watches_) {
    if (watch.socket == socket) {
      Select(watch);
      return;
    }
  }
  WSAAsyncSelect(static_cast<SOCKET>(socket), AsWindow(window_), 0, 0);
}

void MessageLoop::Notify() {
  {
    std::lock_guard lock(callsLock_);
    if (notified_) return;
    notified_ = true;
  }
  PostMessageW(AsWindow(window_), kCallsMessage, 0, 0);
}

void MessageLoop::Post(Task task) {
  {
    std::lock_guard lock(callsLock_);
    posted_.push_back(std::move(task));
  }
  Notify();
}

void MessageLoop::Synchronize(Task task) {
  if (IsLoopThread()) {
    task();
    return;
  }
  SyncCall call{std::move(task)};
  {
    std::lock_guard lock(callsLock_);
    syncCalls_.push_back(&call);
  }
  Notify();
  std::unique_lock lock(callsLock_);
  callsDone_.wait(lock, [&] { return call.done; });
  if (call.error) std::rethrow_exception(call.error);
}

bool MessageLoop::HasQueuedCalls() {
  std::lock_guard lock(callsLock_);
  return !posted_.empty() || !syncCalls_.empty();
}

bool MessageLoop::RunQueuedCalls() {
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

bool MessageLoop::PumpMessages() {
  bool handled = false;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit_ = true;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    handled = true;
  }
  return handled;
}

bool MessageLoop::DispatchSockets() {
  std::vector<WSAPOLLFD> fds;
  std::vector<WatchId> ids;
  for (const auto& [id, watch] : watches_) {
    if (!watch.read && !watch.write) continue;
    SHORT events = 0;
    if (watch.read) events |= POLLRDNORM;
    if (watch.write) events |= POLLWRNORM;
    fds.push_back({static_cast<SOCKET>(watch.socket), events, 0});
    ids.push_back(id);
  }
  if (fds.empty() || WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), 0) <= 0) return false;
  bool handled = false;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    const SHORT r = fds[i].revents;
    unsigned readiness = 0;
    if (r & POLLRDNORM) readiness |= platform::kReadable;
    if (r & POLLWRNORM) readiness |= platform::kWritable;
    if (r & (POLLHUP | POLLERR | POLLNVAL)) readiness |= platform::kHangUp;
    auto it = watches_.find(ids[i]);
    if (readiness == 0 || it == watches_.end()) continue;  // removed by an earlier handler
    const unsigned wanted = readiness & (platform::kHangUp | (it->second.read ? platform::kReadable : 0u) |
                                         (it->second.write ? platform::kWritable : 0u));
    if (!wanted) continue;
    std::shared_ptr<SocketHandler> handler = it->second.handler;
    (*handler)(wanted);
    handled = true;
  }
  return handled;
}

bool MessageLoop::FireDueTimers() {
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
    if (it == timers_.end()) continue;
    it->second.due = clock_.Now() + it->second.interval;
    std::shared_ptr<Task> task = it->second.task;
    (*task)();
  }
  return !due.empty();
}

milliseconds MessageLoop::NextTimerDue() const {
  milliseconds next = milliseconds::max();
  for (const auto& [id, timer] : timers_) next = std::min(next, timer.due);
  return next;
}

bool MessageLoop::Iterate(int timeoutMs) {
  bool handled = PumpMessages();
  handled |= RunQueuedCalls();
  handled |= DispatchSockets();
  handled |= FireDueTimers();
  if (!handled && timeoutMs != 0 && !quit_) {
    // Nothing ready: sleep until a message (a call, a socket, a window's) arrives.
    MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    handled = PumpMessages();
    handled |= RunQueuedCalls();
    handled |= DispatchSockets();
    handled |= FireDueTimers();
  }
  return handled;
}

void MessageLoop::ProcessPending() { Iterate(0); }

void MessageLoop::RunUntilIdle() {
  while (Iterate(0) || HasQueuedCalls()) {
  }
}

void MessageLoop::RunFor(milliseconds duration) {
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
    const milliseconds wait = std::min(end, NextTimerDue()) - now;
    Iterate(static_cast<int>(std::clamp<std::int64_t>(wait.count(), 0, std::numeric_limits<int>::max())));
  }
  RunUntilIdle();
}

void MessageLoop::Run() {
  quit_ = false;
  while (!quit_) {
    const milliseconds next = NextTimerDue();
    if (clock_.IsVirtual()) {
      if (Iterate(0) || HasQueuedCalls()) continue;
      if (next == milliseconds::max()) {
        Iterate(-1);
      } else {
        static_cast<VirtualClock&>(clock_).AdvanceTo(next);
      }
      continue;
    }
    int wait = -1;
    if (next != milliseconds::max()) {
      wait = static_cast<int>(
          std::clamp<std::int64_t>((next - clock_.Now()).count(), 0, std::numeric_limits<int>::max()));
    }
    Iterate(wait);
  }
}

void MessageLoop::Quit() {
  quit_ = true;
  // Wakes a wait on another thread; the loop's own thread sees quit_ at once.
  PostMessageW(AsWindow(window_), kCallsMessage, 0, 0);
}

}  // namespace zl::win32
