#include "message_loop.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

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
    loop->notified_ = false;
    loop->RunQueuedCalls();
    return 0;
  }
  if (loop != nullptr && message == kSocketMessage) return 0;  // the pass after the message looks at the sockets
  return DefWindowProcW(AsWindow(window), message, wParam, lParam);
}

MessageLoop::MessageLoop(Clock& clock) : QueuedEventLoop(clock) {
  RegisterWindowClass();
  HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) throw std::runtime_error("message loop: no message window");
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageLoop::WindowProcedure));
  window_ = window;
}

MessageLoop::~MessageLoop() {
  for (const auto& [id, watch] : Watches()) WSAAsyncSelect(static_cast<SOCKET>(watch.socket), AsWindow(window_), 0, 0);
  SetWindowLongPtrW(AsWindow(window_), GWLP_USERDATA, 0);
  DestroyWindow(AsWindow(window_));
}

void MessageLoop::WatchChanged(const Watch& watch) {
  // WSAAsyncSelect leaves the socket non-blocking, as the boundary's sockets are.
  WSAAsyncSelect(static_cast<SOCKET>(watch.socket), AsWindow(window_), kSocketMessage,
                 watch.read || watch.write ? kAllEvents : 0);
}

void MessageLoop::WatchRemoved(platform::SocketHandle socket) {
  // Another watch of the same socket keeps its selection.
  for (const auto& [id, watch] : Watches()) {
    if (watch.socket == socket) {
      WatchChanged(watch);
      return;
    }
  }
  WSAAsyncSelect(static_cast<SOCKET>(socket), AsWindow(window_), 0, 0);
}

void MessageLoop::Wake() {
  // One wake-up message at a time is enough: it runs every call queued by then.
  if (notified_.exchange(true)) return;
  PostMessageW(AsWindow(window_), kCallsMessage, 0, 0);
}

bool MessageLoop::PumpMessages() {
  bool handled = false;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // PostQuitMessage of a window of this thread: end Run as Quit does.
      Quit();
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    handled = true;
  }
  return handled;
}

bool MessageLoop::DispatchSockets() {
  // The sockets' state now: a notification message only said that it changed.
  std::vector<WSAPOLLFD> fds;
  std::vector<WatchId> ids;
  for (const auto& [id, watch] : Watches()) {
    if (!watch.read && !watch.write) continue;
    SHORT events = 0;
    if (watch.read) events |= POLLRDNORM;
    if (watch.write) events |= POLLWRNORM;
    fds.push_back({static_cast<SOCKET>(watch.socket), events, 0});
    ids.push_back(id);
  }
  if (fds.empty() || WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), 0) <= 0) return false;
  std::vector<std::pair<WatchId, unsigned>> ready;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    const SHORT r = fds[i].revents;
    unsigned readiness = 0;
    if (r & POLLRDNORM) readiness |= platform::kReadable;
    if (r & POLLWRNORM) readiness |= platform::kWritable;
    if (r & (POLLHUP | POLLERR | POLLNVAL)) readiness |= platform::kHangUp;
    if (readiness) ready.emplace_back(ids[i], readiness);
  }
  return DispatchReadiness(ready);
}

bool MessageLoop::HandleReady() {
  bool handled = PumpMessages();
  handled |= RunQueuedCalls();
  handled |= DispatchSockets();
  handled |= FireDueTimers();
  return handled;
}

bool MessageLoop::Iterate(int timeoutMs) {
  if (HandleReady()) return true;
  if (timeoutMs == 0 || QuitRequested()) return false;
  // Nothing ready: sleep until a message (a call, a socket, a window's) arrives.
  MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs), QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
  return HandleReady();
}

}  // namespace zl::win32
