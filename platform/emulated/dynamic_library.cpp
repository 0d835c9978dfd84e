#include "zl/platform/dynamic_library.h"

#include <dirent.h>
#include <dlfcn.h>

#include "hive.h"
#include "native_names.h"
#include "zl/platform/files.h"
#include "zl/platform/machine_state.h"

namespace zl::platform {
namespace {

// The file of `folder` whose name matches `name` regardless of letter case,
// as the platform's file system would match it; empty when there is none.
std::string FindInFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return {};
  DIR* dir = opendir(folder.c_str());
  if (!dir) return {};
  const std::string wanted = emulated::FoldCase(name);
  std::string found;
  while (dirent* entry = readdir(dir)) {
    if (emulated::FoldCase(entry->d_name) == wanted) {
      found = folder + "/" + entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

LibraryHandle LoadLibraryByName(const std::string& name) {
  std::string path;
  if (name.find('\\') != std::string::npos || name.find('/') != std::string::npos) {
    path = emulated::NativePath(name);
  } else {
    // The program's own folder first, then the machine's system folder.
    std::string programFolder = emulated::NativePath(ProgramFolder());
    while (!programFolder.empty() && programFolder.back() == '/') programFolder.pop_back();
    path = FindInFolder(programFolder, emulated::NativePath(name));
    if (path.empty()) path = FindInFolder(machine::SystemFolder(), emulated::NativePath(name));
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
