#include "shared/syscmd/firewall_commands.h"

#include "zl/platform/files.h"
#include "zl/platform/firewall.h"

namespace zl::syscmd {

void AuthorizeApplication(const std::string& name, const std::string& path) {
  try {
    platform::FirewallProfile profile;
    if (profile.Open() < 0) return;
    platform::AuthorizedApplication application;
    application.processImageFileName = path;
    application.name = name;
    application.scope = 0;
    application.ipVersion = 2;
    application.enabled = true;
    profile.AddAuthorizedApplication(application);
  } catch (...) {
    // No firewall, no rights, or the objects are unavailable: nothing to do.
  }
}

void AuthorizeProgramInFirewall() {
  try {
    AuthorizeApplication("Zephlink", platform::ProgramFolder() + "Zephlink.exe");
  } catch (...) {
  }
}

}  // namespace zl::syscmd
