// Reading the settings text the control panel sends: lines of name "=" value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zl::engine {

// Splits at CR, LF or CR LF. A line break at the very end starts no further line.
std::vector<std::string_view> SplitSettingsLines(std::string_view text);

// The value of the first line whose name (the text before its first "=")
// equals the key, ignoring letter case but not surrounding blanks. The value
// is everything after that "=", untrimmed; a key with no line reads as "".
std::string_view ReadSettingsValue(const std::vector<std::string_view>& lines, std::string_view key);

// A number (integer or decimal fraction) is true when not zero; otherwise
// "True" or "False" in any letter case; anything else gives the default.
bool ReadSettingsBoolean(std::string_view value, bool defaultValue);

// Items between TAB characters; the empty value gives no item.
std::vector<std::string> SplitTabList(std::string_view value);

}  // namespace zl::engine
