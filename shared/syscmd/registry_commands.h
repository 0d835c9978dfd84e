// Stored settings in the machine-wide registry. Each call opens the key,
// works and closes it. Writes and ReadRegBool raise RegistryError.
#pragma once

#include <string>

namespace zl::syscmd {

// The value as a 32-bit integer, true when not 0. Raises when the key or
// value is missing or the value is not a 32-bit integer.
bool ReadRegBool(const std::string& keyPath, const std::string& valueName);
// Stores 1 or 0 as a 32-bit integer; the key is created if missing.
void WriteRegBool(const std::string& keyPath, const std::string& valueName, bool value);
// A string or expandable-string value, trimmed; "" when the key or value is
// missing. Raises for a value of another type.
std::string ReadRegString(const std::string& keyPath, const std::string& valueName);
void WriteRegString(const std::string& keyPath, const std::string& valueName, const std::string& text);
// Reports nothing, whether the value existed or not.
void DeleteRegValue(const std::string& keyPath, const std::string& valueName);
// False for a missing key too.
bool RegValueExists(const std::string& keyPath, const std::string& valueName);

}  // namespace zl::syscmd
