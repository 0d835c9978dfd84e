#include "service/engine/url_log_file.h"

#include <cstdio>

#include "shared/syscmd/file_commands.h"
#include "zl/platform/files.h"

namespace zl::engine {

std::string DefaultUrlLogFolder() { return platform::ProgramFolder() + "UrlLog"; }

std::string UrlLogFileName(const LocalDateTime& date) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d-%02d-%02d.txt", date.year, date.month, date.day);
  return name;
}

UrlLogFile::UrlLogFile(std::string folder, const Clock& clock) : folder_(std::move(folder)), clock_(clock) {}

void UrlLogFile::WriteUrlLogLine(const std::string& line) {
  try {
    // A user who switches the log on expects logs, so a missing folder is
    // made rather than every line being lost.
    if (!platform::DirectoryExists(folder_)) platform::CreateDirectory(folder_);
    const std::string path = folder_ + "\\" + UrlLogFileName(clock_.LocalNow());
    if (!platform::FileExists(path)) syscmd::CreateEmptyFile(path);
    syscmd::AppendLineToFile(path, line);
  } catch (...) {
    // Missing folder, locked file, full disk: this line is lost.
  }
}

}  // namespace zl::engine
