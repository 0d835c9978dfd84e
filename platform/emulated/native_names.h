// Translation between the programs' names (code page 1252, "\" separators)
// and Linux file names (UTF-8, "/" separators).
#pragma once

#include <string>

namespace zl::platform::emulated {

std::string Cp1252ToUtf8(const std::string& text);
// Bytes that are not valid UTF-8, or characters code page 1252 lacks, become "?".
std::string Utf8ToCp1252(const std::string& text);

std::string NativePath(const std::string& programPath);
std::string ProgramPath(const std::string& nativePath);

}  // namespace zl::platform::emulated
