// The process side of a service: connecting to the service manager as a
// named service, reporting status, and receiving control requests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "zl/platform/poller.h"
#include "zl/platform/service_manager.h"

namespace zl::platform {

// The connection of a running service to the service manager; handed to the
// service's main routine by RunAsService.
class ServiceControlChannel {
 public:
  ~ServiceControlChannel();
  ServiceControlChannel(const ServiceControlChannel&) = delete;
  ServiceControlChannel& operator=(const ServiceControlChannel&) = delete;

  // SetServiceStatus.
  std::uint32_t ReportStatus(const ServiceStatus& status);
  // Readable when a control request waits; watch it with the event loop.
  SocketHandle RequestHandle() const;
  // The next waiting control (kServiceControlStop, ...), 0 when none.
  std::uint32_t TakeRequest();

 private:
  friend std::uint32_t RunAsService(const std::string&, const std::function<void(ServiceControlChannel&)>&);
  struct Impl;
  explicit ServiceControlChannel(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Connects to the service manager as the service `name` and runs
// `serviceMain` on the calling thread; returns when it has returned, after
// the stopped state is reported. ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when
// the process was not started by the service manager as that service.
std::uint32_t RunAsService(const std::string& name, const std::function<void(ServiceControlChannel&)>& serviceMain);

}  // namespace zl::platform
