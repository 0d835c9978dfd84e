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

namespace {

class EmulatedChannel final : public ServiceControlChannel {
 public:
  EmulatedChannel(std::string name, int socket) : name_(std::move(name)), socket_(socket) {}

  std::uint32_t ReportStatus(const ServiceStatus& status) override {
    last_ = status.currentState;
    return emulated::UpdateMachine([&](Hive& hive) {
      RuntimeRecord record = emulated::ReadRuntime(hive, name_);
      record.status = status;
      record.pid = getpid();
      record.startTime = emulated::ProcessStartTime(getpid());
      record.connected = true;
      record.scripted = false;
      emulated::WriteRuntime(hive, name_, record);
      return true;
    });
  }

  SocketHandle RequestHandle() const override { return socket_; }

  std::uint32_t TakeRequest() override {
    char buffer[32];
    const ssize_t n = recv(socket_, buffer, sizeof buffer - 1, MSG_DONTWAIT);
    if (n <= 0) return 0;
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(std::strtoul(buffer, nullptr, 10));
  }

  std::uint32_t LastState() const { return last_; }

 private:
  std::string name_;
  int socket_;
  std::uint32_t last_ = 0;
};

}  // namespace

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
  EmulatedChannel channel(name, fd);
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
    close(fd);
    throw;
  }
  if (channel.LastState() != kServiceStopped) {
    ServiceStatus stopped;
    stopped.currentState = kServiceStopped;
    channel.ReportStatus(stopped);
  }
  close(fd);
  return kErrorSuccess;
}

}  // namespace zl::platform
