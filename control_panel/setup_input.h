// The input checks of the set-up page. A name or key is accepted only when
// the hosted network can be configured with it as it stands in the field:
// the page passes the untrimmed texts to SetHostedNetwork, which runs nothing
// for text that would change the command interpreter's line (a double quote,
// a percent sign, a control character, a final backslash), and netsh refuses
// a name over 32 or a key over 63 characters.
#pragma once

#include <cstddef>
#include <string>

namespace zl::panel {

inline constexpr std::size_t kMaxHotspotNameLength = 32;
inline constexpr std::size_t kMinHotspotKeyLength = 8;
inline constexpr std::size_t kMaxHotspotKeyLength = 63;

// Not empty once trimmed, and accepted for the command line as typed.
bool HotspotNameAccepted(const std::string& text);
// At least 8 characters once trimmed, and accepted for the command line as typed.
bool HotspotKeyAccepted(const std::string& text);

}  // namespace zl::panel
