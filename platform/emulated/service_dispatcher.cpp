#include "zl/platform/service_dispatcher.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "machine_keys.h"
#include "native_names.h"
#include "service_runtime.h"
#include "zl/platform/errors.h"

namespace zl::platform {

using emulated::Hive;
using emulated::RuntimeRecord;

struct ServiceControlChannel::Impl {
  std::string name;
  int socket = -1;
  std::uint32_t lastState = 0;
};

ServiceControlChannel::ServiceControlChannel(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ServiceControlChannel::~ServiceControlChannel() {
  if (impl_ && impl_->socket >= 0) close(impl_->socket);
}

std::uint32_t ServiceControlChannel::ReportStatus(const ServiceStatus& status) {
  impl_->lastState = status.currentState;
  return emulated::UpdateMachine([&](Hive& hive) {
    RuntimeRecord record = emulated::ReadRuntime(hive, impl_->name);
    record.status = status;
    record.pid = getpid();
    record.startTime = emulated::ProcessStartTime(getpid());
    record.connected = true;
    record.scripted = false;
    emulated::WriteRuntime(hive, impl_->name, record);
    return true;
  });
}

SocketHandle ServiceControlChannel::RequestHandle() const { return impl_->socket; }

std::uint32_t ServiceControlChannel::TakeRequest() {
  char buffer[32];
  const ssize_t n = recv(impl_->socket, buffer, sizeof buffer - 1, MSG_DONTWAIT);
  if (n <= 0) return 0;
  buffer[n] = '\0';
  return static_cast<std::uint32_t>(std::strtoul(buffer, nullptr, 10));
}

std::uint32_t RunAsService(const std::string& name, const std::function<void(ServiceControlChannel&)>& serviceMain) {
  const char* assigned = std::getenv(emulated::kServiceNameVariable);
  if (!assigned || emulated::FoldCase(emulated::Utf8ToCp1252(assigned)) != emulated::FoldCase(name)) {
    return kErrorFailedServiceControllerConnect;
  }
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return kErrorFailedServiceControllerConnect;
  socklen_t length = 0;
  const sockaddr_un address = emulated::ControlAddress(name, length);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    close(fd);
    return kErrorFailedServiceControllerConnect;
  }
  // Connected: the manager sees this process as the service, still starting.
  ServiceControlChannel channel(std::make_unique<ServiceControlChannel::Impl>(ServiceControlChannel::Impl{name, fd, 0}));
  ServiceStatus starting;
  starting.currentState = kServiceStartPending;
  starting.waitHint = 2000;
  channel.ReportStatus(starting);
  try {
    serviceMain(channel);
  } catch (...) {
    ServiceStatus stopped;
    stopped.currentState = kServiceStopped;
    stopped.win32ExitCode = 1064;  // ERROR_EXCEPTION_IN_SERVICE
    channel.ReportStatus(stopped);
    throw;
  }
  if (channel.impl_->lastState != kServiceStopped) {
    ServiceStatus stopped;
    stopped.currentState = kServiceStopped;
    channel.ReportStatus(stopped);
  }
  return kErrorSuccess;
}

}  // namespace zl::platform
