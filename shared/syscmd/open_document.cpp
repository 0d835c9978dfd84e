#include "shared/syscmd/open_document.h"

#include "zl/platform/files.h"
#include "zl/platform/process.h"

namespace zl::syscmd {

void OpenDocument(const std::string& fileName) {
  if (!platform::FileExists(fileName)) return;
  platform::ProcessHandle process;
  platform::ExecuteWithShell({"open", fileName, "", "", platform::kShowNormal}, process);
}

}  // namespace zl::syscmd
