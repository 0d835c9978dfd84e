// A service process: StartServiceCtrlDispatcher runs on a thread of its own,
// so the service's main routine can run on the thread that called
// RunAsService. The control handler (on the dispatcher's thread) queues the
// controls and wakes the main routine's event loop through a loopback
// datagram socket: the channel's request handle.
#include "zl/platform/service_dispatcher.h"

#include <winsock2.h>
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "loopback_wake.h"
#include "text.h"
#include "zl/platform/errors.h"

namespace zl::platform {

namespace {

// What the dispatcher's thread and the main routine share.
struct ChannelCore {
  std::wstring name;
  SERVICE_STATUS_HANDLE statusHandle = nullptr;
  SOCKET wake = INVALID_SOCKET;
  std::mutex lock;
  std::deque<std::uint32_t> requests;
  std::uint32_t lastState = 0;
};

// The dispatcher's entry points take no context: one service per process.
struct DispatcherState {
  std::mutex lock;
  std::condition_variable changed;
  ChannelCore* channel = nullptr;
  bool connected = false;
  bool finished = false;
  DWORD error = 0;
};
DispatcherState dispatcher;

DWORD WINAPI ControlHandler(DWORD control, DWORD /*eventType*/, LPVOID /*eventData*/, LPVOID context) {
  auto* channel = static_cast<ChannelCore*>(context);
  if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
  {
    std::lock_guard guard(channel->lock);
    channel->requests.push_back(control);
  }
  const char one = 1;
  send(channel->wake, &one, 1, 0);
  return NO_ERROR;
}

void WINAPI ServiceMainEntry(DWORD /*argc*/, LPWSTR* /*argv*/) {
  std::unique_lock guard(dispatcher.lock);
  ChannelCore* channel = dispatcher.channel;
  channel->statusHandle = RegisterServiceCtrlHandlerExW(channel->name.c_str(), ControlHandler, channel);
  if (channel->statusHandle == nullptr) dispatcher.error = GetLastError();
  dispatcher.connected = true;
  dispatcher.changed.notify_all();
  // Returning is allowed; the dispatcher goes on until the stopped state is reported.
}

}  // namespace

struct ServiceControlChannel::Impl : ChannelCore {};

ServiceControlChannel::ServiceControlChannel(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ServiceControlChannel::~ServiceControlChannel() {
  if (impl_ && impl_->wake != INVALID_SOCKET) closesocket(impl_->wake);
}

std::uint32_t ServiceControlChannel::ReportStatus(const ServiceStatus& status) {
  SERVICE_STATUS native{};
  native.dwServiceType = status.serviceType;
  native.dwCurrentState = status.currentState;
  native.dwControlsAccepted = status.controlsAccepted;
  native.dwWin32ExitCode = status.win32ExitCode;
  native.dwServiceSpecificExitCode = status.serviceSpecificExitCode;
  native.dwCheckPoint = status.checkPoint;
  native.dwWaitHint = status.waitHint;
  impl_->lastState = status.currentState;
  return SetServiceStatus(impl_->statusHandle, &native) ? kErrorSuccess : GetLastError();
}

SocketHandle ServiceControlChannel::RequestHandle() const { return static_cast<SocketHandle>(impl_->wake); }

std::uint32_t ServiceControlChannel::TakeRequest() {
  char drained[16];
  recv(impl_->wake, drained, sizeof drained, 0);
  std::lock_guard guard(impl_->lock);
  if (impl_->requests.empty()) return 0;
  const std::uint32_t control = impl_->requests.front();
  impl_->requests.pop_front();
  // More waiting: keep the handle readable for the next look.
  if (!impl_->requests.empty()) {
    const char one = 1;
    send(impl_->wake, &one, 1, 0);
  }
  return control;
}

std::uint32_t RunAsService(const std::string& name, const std::function<void(ServiceControlChannel&)>& serviceMain) {
  auto impl = std::make_unique<ServiceControlChannel::Impl>();
  impl->name = win32::Widen(name);
  impl->wake = win32::MakeLoopbackWakeSocket();
  if (impl->wake == INVALID_SOCKET) return kErrorFailedServiceControllerConnect;
  ServiceControlChannel channel(std::move(impl));
  {
    std::lock_guard guard(dispatcher.lock);
    dispatcher.channel = channel.impl_.get();
    dispatcher.connected = false;
    dispatcher.finished = false;
    dispatcher.error = 0;
  }
  std::wstring tableName = channel.impl_->name;
  std::thread thread([&tableName] {
    SERVICE_TABLE_ENTRYW table[] = {{tableName.data(), ServiceMainEntry}, {nullptr, nullptr}};
    const DWORD error = StartServiceCtrlDispatcherW(table) ? 0 : GetLastError();
    std::lock_guard guard(dispatcher.lock);
    if (!dispatcher.connected) dispatcher.error = error != 0 ? error : kErrorFailedServiceControllerConnect;
    dispatcher.finished = true;
    dispatcher.changed.notify_all();
  });
  DWORD error = 0;
  {
    std::unique_lock guard(dispatcher.lock);
    dispatcher.changed.wait(guard, [] { return dispatcher.connected || dispatcher.finished; });
    error = dispatcher.error;
  }
  if (error != 0) {
    thread.join();
    std::lock_guard guard(dispatcher.lock);
    dispatcher.channel = nullptr;
    return error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT ? kErrorFailedServiceControllerConnect : error;
  }

  ServiceStatus starting;
  starting.currentState = kServiceStartPending;
  starting.waitHint = 2000;
  channel.ReportStatus(starting);
  auto reportStopped = [&](std::uint32_t exitCode) {
    ServiceStatus stopped;
    stopped.currentState = kServiceStopped;
    stopped.win32ExitCode = exitCode;
    channel.ReportStatus(stopped);
  };
  try {
    serviceMain(channel);
  } catch (...) {
    reportStopped(ERROR_EXCEPTION_IN_SERVICE);
    thread.join();
    throw;
  }
  if (channel.impl_->lastState != kServiceStopped) reportStopped(0);
  // The stopped state ends the dispatcher; the handler is not called after it.
  thread.join();
  std::lock_guard guard(dispatcher.lock);
  dispatcher.channel = nullptr;
  return kErrorSuccess;
}

}  // namespace zl::platform
