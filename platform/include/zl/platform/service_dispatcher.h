// The process side of a service: connecting to the service manager as a
// named service, reporting status, and receiving control requests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "zl/platform/poller.h"
#include "zl/platform/service_manager.h"

namespace zl::platform {

class ServiceControlChannel {
 public:
  virtual ~ServiceControlChannel() = default;
  // SetServiceStatus.
  virtual std::uint32_t ReportStatus(const ServiceStatus& status) = 0;
  // Readable when a control request waits; watch it with the event loop.
  virtual SocketHandle RequestHandle() const = 0;
  // The next waiting control (kServiceControlStop, ...), 0 when none.
  virtual std::uint32_t TakeRequest() = 0;
};

// Connects to the service manager as the service `name` and runs
// `serviceMain` on the calling thread; returns when it has returned, after
// the stopped state is reported. ERROR_FAILED_SERVICE_CONTROLLER_CONNECT when
// the process was not started by the service manager as that service.
std::uint32_t RunAsService(const std::string& name, const std::function<void(ServiceControlChannel&)>& serviceMain);

}  // namespace zl::platform
