// Loading a library by name at run time and finding its entry points.
#pragma once

#include <string>

namespace zl::platform {

using LibraryHandle = void*;

// LoadLibrary: the name as the system knows it ("Wlanapi.dll"); null when
// the library cannot be loaded.
LibraryHandle LoadLibraryByName(const std::string& name);
// GetProcAddress: null when the entry point is missing.
void* FindEntryPoint(LibraryHandle library, const std::string& name);
void FreeLibraryHandle(LibraryHandle library);

}  // namespace zl::platform
