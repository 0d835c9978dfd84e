#include "shared/syscmd/rights.h"

#include <algorithm>

#include "shared/syscmd/registry_commands.h"
#include "shared/syscmd/system_errors.h"
#include "zl/platform/errors.h"
#include "zl/platform/security.h"

namespace zl::syscmd {
namespace {

constexpr const char* kAutostartKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kProbeName = "{264DE6BC-D37A-4A5D-BAC1-A7513B60D0FF}";
constexpr const char* kProbeData = "{264DE6BC-D37A-4A5D-BAC1-A7513B60D0FF}.exe";

}  // namespace

bool IsUserAdministrator() {
  platform::AccessToken token;
  std::uint32_t status = token.OpenThreadToken();
  if (status == platform::kErrorNoToken) status = token.OpenProcessToken();
  if (status != platform::kErrorSuccess) return false;

  platform::SecurityIdentifier administrators;
  status = platform::BuildSecurityIdentifier(5, {32, 544}, administrators);
  if (status != platform::kErrorSuccess) throw PlatformError("Cannot build the Administrators group identifier", status);

  std::vector<platform::SecurityIdentifier> groups;
  status = token.QueryGroups(groups);
  if (status != platform::kErrorSuccess) throw PlatformError("Cannot read the token's groups", status);
  return std::find(groups.begin(), groups.end(), administrators) != groups.end();
}

bool CanWriteMachineSettings() {
  try {
    WriteRegString(kAutostartKey, kProbeName, kProbeData);
    DeleteRegValue(kAutostartKey, kProbeName);
    return true;
  } catch (...) {
    // A write that failed half way must not leave the probe behind.
    try {
      DeleteRegValue(kAutostartKey, kProbeName);
    } catch (...) {
    }
    return false;
  }
}

}  // namespace zl::syscmd
