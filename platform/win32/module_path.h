// The full path of the running program's file, code page 1252.
#pragma once

#include <string>

namespace zl::platform::win32 {

std::string ModulePath();

}  // namespace zl::platform::win32
