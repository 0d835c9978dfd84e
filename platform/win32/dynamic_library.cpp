#include "zl/platform/dynamic_library.h"

#include <windows.h>

#include "text.h"

namespace zl::platform {

LibraryHandle LoadLibraryByName(const std::string& name) {
  return reinterpret_cast<LibraryHandle>(LoadLibraryW(win32::Widen(name).c_str()));
}

void* FindEntryPoint(LibraryHandle library, const std::string& name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
}

void FreeLibraryHandle(LibraryHandle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace zl::platform
