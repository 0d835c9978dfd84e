// What the emulated service manager and the service processes share: the
// running state of each service in the machine's store, whether its process
// lives, and the address of its control socket.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

#include <cstdint>
#include <string>

#include "hive.h"
#include "zl/platform/service_manager.h"

namespace zl::platform::emulated {

// The environment variable that tells a started process which service it is.
inline constexpr const char* kServiceNameVariable = "ZEPHLINK_SERVICE_NAME";

// The process's start time as the kernel counts it; empty when it has ended
// (or is a zombie). With the pid it names one process even after pid reuse.
std::string ProcessStartTime(pid_t pid);

struct RuntimeRecord {
  ServiceStatus status;
  std::int64_t pid = 0;
  std::string startTime;
  bool connected = false;  // the process has connected as the service
  bool scripted = false;   // states come from the StatusScript fault
};

std::string RuntimeKeyPath(const std::string& service);
RuntimeRecord ReadRuntime(const Hive& hive, const std::string& service);
void WriteRuntime(Hive& hive, const std::string& service, const RuntimeRecord& record);
// The status a query reports: a service whose process has died reads as
// stopped.
ServiceStatus EffectiveStatus(const RuntimeRecord& record);

// Abstract socket address of a service's control channel on this machine.
sockaddr_un ControlAddress(const std::string& service, socklen_t& length);

}  // namespace zl::platform::emulated
