#include "control_panel/setup_input.h"

#include "shared/support/trim.h"
#include "shared/syscmd/hosted_network_commands.h"

namespace zl::panel {

bool HotspotNameAccepted(const std::string& text) {
  return !Trim(text).empty() && text.size() <= kMaxHotspotNameLength && syscmd::IsSafeCommandText(text);
}

bool HotspotKeyAccepted(const std::string& text) {
  return Trim(text).size() >= kMinHotspotKeyLength && text.size() <= kMaxHotspotKeyLength &&
         syscmd::IsSafeCommandText(text);
}

}  // namespace zl::panel
