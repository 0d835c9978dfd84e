// The settings text for the filtering service, composed from the stored
// values (read anew each time, not from the check boxes): ten lines of
// name "=" value with the rule set chosen by DisableP2P and the URL log
// switch last. It lives in memory only and reaches the service as the
// payload of the settings message.
#pragma once

#include <string>
#include <vector>

namespace zl::panel::settings {

// Empties `lines` and adds the ten lines. An error ends the building with
// the lines added so far.
void BuildSettingsText(std::vector<std::string>& lines);

// The lines joined as they travel: each followed by CR LF.
std::string JoinSettingsLines(const std::vector<std::string>& lines);

}  // namespace zl::panel::settings
