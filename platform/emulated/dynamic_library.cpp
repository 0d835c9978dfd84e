#include "zl/platform/dynamic_library.h"

#include <dlfcn.h>

#include "folder_search.h"
#include "native_names.h"
#include "zl/platform/machine_state.h"

namespace zl::platform {

LibraryHandle LoadLibraryByName(const std::string& name) {
  std::string path;
  if (name.find('\\') != std::string::npos || name.find('/') != std::string::npos) {
    path = emulated::NativePath(name);
  } else {
    // The program's own folder first, then the machine's system folder.
    path = emulated::FindInFolder(emulated::NativeProgramFolder(), emulated::NativePath(name));
    if (path.empty()) path = emulated::FindInFolder(machine::SystemFolder(), emulated::NativePath(name));
  }
  if (path.empty()) return nullptr;
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindEntryPoint(LibraryHandle library, const std::string& name) {
  return library ? dlsym(library, name.c_str()) : nullptr;
}

void FreeLibraryHandle(LibraryHandle library) {
  if (library) dlclose(library);
}

}  // namespace zl::platform
