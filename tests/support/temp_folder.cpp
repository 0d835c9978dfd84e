#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace zl::test {

TempFolder::TempFolder() {
  const std::string pattern = (std::filesystem::temp_directory_path() / "zltest-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
  nativePath_ = buffer.data();
  // The temporary directory's name is plain ASCII, so only the separators change.
  programPath_ = nativePath_;
  std::replace(programPath_.begin(), programPath_.end(), '/', '\\');
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(nativePath_, ignored);
}

}  // namespace zl::test
