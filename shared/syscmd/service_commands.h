// Checking and starting a service through the service manager. An empty
// machine name is the local machine.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zl::syscmd {

// The service's current state (1 stopped ... 7 paused); 0 when it cannot be
// determined (no such service, no connection).
std::uint32_t GetServiceState(const std::string& machineName, const std::string& serviceName);
bool IsServiceRunning(const std::string& machineName, const std::string& serviceName);

// How long a start may report the same checkpoint before the wait gives up.
inline constexpr std::chrono::milliseconds kStalledStartLimit{30000};

// Starts the service and waits on the process clock, sleeping the service's
// wait hint between status queries, until it runs, stops, fails a query,
// moves its checkpoint backwards, or keeps one checkpoint for
// kStalledStartLimit. True when the service is running at the end. Window
// events are not processed meanwhile.
bool StartServiceAndWait(const std::string& machineName, const std::string& serviceName);

}  // namespace zl::syscmd
