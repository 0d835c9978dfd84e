#include "folder_search.h"

#include <dirent.h>

#include "hive.h"
#include "native_names.h"
#include "zl/platform/files.h"

namespace zl::platform::emulated {

std::string FindInFolder(const std::string& folder, const std::string& name, const std::string& impliedExtension) {
  if (folder.empty() || name.empty()) return {};
  DIR* dir = opendir(folder.c_str());
  if (!dir) return {};
  const std::string wanted = FoldCase(name);
  const std::string wantedWithExtension = impliedExtension.empty() ? wanted : FoldCase(name + impliedExtension);
  std::string found;
  while (dirent* entry = readdir(dir)) {
    const std::string candidate = FoldCase(entry->d_name);
    if (candidate == wanted || candidate == wantedWithExtension) {
      found = folder + "/" + entry->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

std::string NativeProgramFolder() {
  std::string folder = NativePath(ProgramFolder());
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace zl::platform::emulated
