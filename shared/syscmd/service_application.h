// The service framework of a service program: with the switch "INSTALL" it
// registers the service with the service manager, with "UNINSTALL" it
// removes it (each confirmed by a message box unless "SILENT" is given too;
// switches in any letter case, led by "/" or "-"); without them it runs the
// service under the service manager until a stop request.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shared/support/poll_event_loop.h"

namespace zl::syscmd {

struct ServiceSwitches {
  bool install = false;
  bool uninstall = false;
  bool silent = false;
};

// Reads the switches from the program's arguments (program name excluded).
ServiceSwitches ParseServiceSwitches(const std::vector<std::string>& args);

struct ServiceDefinition {
  std::string name;
  std::string displayName;
  std::uint32_t startType = 2;  // automatic
  std::uint32_t waitHint = 5000;
  // Appended to the program's quoted path in the registered command line.
  std::string imageArguments;
  // Runs before the service is removed; its errors are swallowed.
  std::function<void()> beforeUninstall;
  // Runs on the loop's thread when a stop is requested, before the loop ends.
  std::function<void()> onStop;
};

// Texts of the confirmations and failures.
inline constexpr const char* kServiceInstalledText = "Service installed successfully";
inline constexpr const char* kServiceUninstalledText = "Service uninstalled successfully";

class ServiceApplication {
 public:
  // The loop is the service's main loop: its timers and sockets run while
  // the service runs.
  ServiceApplication(ServiceDefinition definition, PollEventLoop& loop);

  // Installs, uninstalls or runs the service; returns the exit code.
  int Run(const std::vector<std::string>& args);

 private:
  int Install(bool silent);
  int Uninstall(bool silent);
  int RunService();
  void Report(bool silent, const std::string& text, bool failure);

  ServiceDefinition definition_;
  PollEventLoop& loop_;
};

}  // namespace zl::syscmd
