#include "shared/syscmd/file_commands.h"

#include "zl/platform/files.h"

namespace zl::syscmd {

void CreateEmptyFile(const std::string& file) {
  if (!platform::CreateOrTruncateFile(file)) throw FileCommandError("Cannot create file \"" + file + "\"");
}

void AppendLineToFile(const std::string& file, const std::string& line) {
  std::string bytes;
  bytes.reserve(line.size() + 2);
  bytes += line;
  bytes += "\r\n";
  if (!platform::AppendToExistingFile(file, bytes)) throw FileCommandError("Cannot append to file \"" + file + "\"");
}

}  // namespace zl::syscmd
