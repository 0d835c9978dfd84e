#include "shared/syscmd/service_commands.h"

#include "shared/support/event_loop.h"
#include "zl/platform/service_manager.h"

namespace zl::syscmd {

using namespace platform;

std::uint32_t GetServiceState(const std::string& machineName, const std::string& serviceName) {
  try {
    ServiceManagerHandle manager;
    if (manager.Connect(machineName, kScManagerConnect) != 0) return 0;
    ServiceHandle service;
    if (manager.OpenServiceByName(serviceName, kServiceQueryStatus, service) != 0) return 0;
    ServiceStatus status;
    if (service.QueryStatus(status) != 0) return 0;
    return status.currentState;
  } catch (...) {
    return 0;
  }
}

bool IsServiceRunning(const std::string& machineName, const std::string& serviceName) {
  return GetServiceState(machineName, serviceName) == kServiceRunning;
}

bool StartServiceAndWait(const std::string& machineName, const std::string& serviceName) {
  ServiceManagerHandle manager;
  if (manager.Connect(machineName, kScManagerConnect) != 0) return false;
  ServiceHandle service;
  if (manager.OpenServiceByName(serviceName, kServiceStart | kServiceQueryStatus, service) != 0) return false;
  if (service.Start() != 0) return false;
  ServiceStatus status;
  if (service.QueryStatus(status) != 0) return false;

  Clock& clock = ProcessClock();
  auto checkpointSince = clock.Now();
  // A service that stops while starting, or keeps one checkpoint for too
  // long, would otherwise hold the caller for ever.
  while (status.currentState != kServiceRunning && status.currentState != kServiceStopped) {
    const std::uint32_t checkpoint = status.checkPoint;
    clock.Pause(std::chrono::milliseconds(status.waitHint));
    if (service.QueryStatus(status) != 0) break;
    if (status.checkPoint < checkpoint) break;
    if (status.checkPoint != checkpoint) {
      checkpointSince = clock.Now();
    } else if (clock.Now() - checkpointSince >= kStalledStartLimit) {
      break;
    }
  }
  return status.currentState == kServiceRunning;
}

}  // namespace zl::syscmd
