// The programs' texts are code page 1252 bytes; Windows' wide calls take
// UTF-16. These convert between the two with the system's own tables, so a
// text means the same whatever the machine's ANSI code page is.
#pragma once

#include <string>

namespace zl::platform::win32 {

std::wstring Widen(const std::string& cp1252);
// Characters without a code page 1252 form become "?".
std::string Narrow(const std::wstring& utf16);
std::string Narrow(const wchar_t* utf16, std::size_t length);

}  // namespace zl::platform::win32
