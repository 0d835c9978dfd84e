// Finding a file by its Windows name in a Linux folder: letter case is not
// significant there, as on the platform's file system.
#pragma once

#include <string>

namespace zl::platform::emulated {

// The native path of the entry of `folder` named `name`, or - when
// `impliedExtension` is given - `name` followed by it; empty when none.
std::string FindInFolder(const std::string& folder, const std::string& name, const std::string& impliedExtension = {});

// The running program's folder, native, without the trailing "/".
std::string NativeProgramFolder();

}  // namespace zl::platform::emulated
