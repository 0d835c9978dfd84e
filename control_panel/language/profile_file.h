// Initialisation files as the platform's profile-string service reads and
// writes them: "[section]" lines open sections, "key=value" lines follow.
// Section and key names match ignoring letter case and the first match counts;
// blanks around keys and values are ignored and one pair of enclosing double
// or single quotes is dropped. Files may end their lines in CR LF or LF.
#pragma once

#include <cstddef>
#include <string>

namespace zl {

// GetPrivateProfileString reads into a buffer of 2048 characters, the
// terminator included.
inline constexpr std::size_t kProfileValueLimit = 2047;

// The value of `key` in `section` of the file's bytes, cut after
// kProfileValueLimit characters; `defaultValue` when section or key is missing.
std::string FindProfileString(const std::string& fileBytes, const std::string& section, const std::string& key,
                              const std::string& defaultValue);

// The file's bytes with `key` of `section` set to `value`: the key's line is
// rewritten in place, a missing key is added at the end of the first section
// of that name, a missing section at the end of the file. Other lines keep
// their bytes; new lines end in CR LF.
std::string SetProfileString(const std::string& fileBytes, const std::string& section, const std::string& key,
                             const std::string& value);

// Through the platform's files: a missing or unreadable file reads as
// `defaultValue`.
std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue);
// Creates the file or section when needed; false when the file cannot be
// written (it then keeps its old content).
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace zl
