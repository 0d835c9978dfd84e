// The commands of zlmachine that set the machine up as a person would in the
// operating system's own dialogs: connection sharing between two connections,
// and the machine's clock rate.
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "platform/emulated/native_names.h"
#include "zl/platform/clock_rate.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/sharing.h"

namespace zl::tools::zlmachine {

namespace machine = platform::machine;

namespace {

int Failed(const std::string& what) {
  std::fprintf(stderr, "zlmachine: %s\n", what.c_str());
  return 1;
}

// The sharing configuration of the connection named `name`; false when the
// manager does not know it.
bool FindConnection(const platform::SharingManager& manager, const std::string& name,
                    platform::SharingConfiguration& configuration) {
  std::vector<std::string> connections;
  if (manager.EnumerateConnections(connections) < 0) return false;
  for (const auto& connection : connections) {
    std::string connectionName;
    if (manager.GetConnectionName(connection, connectionName) < 0 || connectionName != name) continue;
    return manager.GetSharingConfiguration(connection, configuration) >= 0;
  }
  return false;
}

int DisableAll(const platform::SharingManager& manager) {
  std::vector<std::string> connections;
  if (manager.EnumerateConnections(connections) < 0) return Failed("the sharing manager cannot list its connections");
  int failures = 0;
  for (const auto& connection : connections) {
    platform::SharingConfiguration configuration;
    bool enabled = false;
    if (manager.GetSharingConfiguration(connection, configuration) < 0 || configuration.GetSharingEnabled(enabled) < 0) {
      ++failures;
      continue;
    }
    if (enabled && configuration.DisableSharing() < 0) ++failures;
  }
  return failures ? Failed("sharing could not be switched off everywhere") : 0;
}

}  // namespace

int Sharing(const Args& args) {
  if (args.empty()) return ShowSharing();
  platform::SharingManager manager;
  if ((args[0] == "enable" && args.size() == 3) || (args[0] == "disable" && args.size() == 1)) {
    if (manager.Connect() < 0) return Failed("the sharing manager is not available");
  }
  if (args[0] == "disable" && args.size() == 1) return DisableAll(manager);
  if (args[0] != "enable" || args.size() != 3) return UsageError("sharing enable PUBLIC PRIVATE | sharing disable");
  const std::string publicName = platform::emulated::Utf8ToCp1252(args[1]);
  const std::string privateName = platform::emulated::Utf8ToCp1252(args[2]);
  platform::SharingConfiguration publicSide, privateSide;
  if (!FindConnection(manager, publicName, publicSide)) return Failed("no connection named " + args[1]);
  if (!FindConnection(manager, privateName, privateSide)) return Failed("no connection named " + args[2]);
  // As the sharing dialog does: whatever was shared before is switched off first.
  if (DisableAll(manager) != 0) return 1;
  if (publicSide.EnableSharing(platform::kSharingTypePublic) < 0) return Failed("cannot share " + args[1]);
  if (privateSide.EnableSharing(platform::kSharingTypePrivate) < 0) return Failed("cannot share with " + args[2]);
  return 0;
}

int ClockRate(const Args& args) {
  if (args.empty()) {
    const std::uint32_t rate = platform::MachineClockRate();
    std::printf("Clock rate     : %u%s\n", rate, rate == 1 ? " (real time)" : " times real time");
    return 0;
  }
  char* end = nullptr;
  const unsigned long rate = std::strtoul(args[0].c_str(), &end, 10);
  if (args.size() != 1 || args[0].empty() || *end != '\0' || rate < 1 || rate > platform::kMaxClockRate) {
    return UsageError("clockrate N, N from 1 (real time) to " + std::to_string(platform::kMaxClockRate));
  }
  return machine::SetClockRate(static_cast<std::uint32_t>(rate)) ? 0 : Failed("cannot set the clock rate");
}

}  // namespace zl::tools::zlmachine
