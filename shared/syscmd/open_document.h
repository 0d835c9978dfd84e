// Opening a file with its application through the shell.
#pragma once

#include <string>

namespace zl::syscmd {

// Opens an existing file ("open", normal window); a missing file does nothing.
void OpenDocument(const std::string& fileName);

}  // namespace zl::syscmd
