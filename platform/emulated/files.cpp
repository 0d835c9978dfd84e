#include "zl/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "hive.h"
#include "native_names.h"

namespace zl::platform {

using emulated::NativePath;

std::string ProgramFolder() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  std::string exe(buffer, static_cast<std::size_t>(n));
  return emulated::ProgramPath(exe.substr(0, exe.rfind('/') + 1));
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectory(const std::string& path) { return mkdir(NativePath(path).c_str(), 0777) == 0; }

namespace {

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool CreateOrTruncateFile(const std::string& path) {
  const int fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  return close(fd) == 0;
}

bool AppendToExistingFile(const std::string& path, const std::string& bytes) {
  const int fd = open(NativePath(path).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes);
  return close(fd) == 0 && written;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bytes.clear();
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

bool ReplaceWholeFile(const std::string& path, const std::string& bytes) {
  const std::string native = NativePath(path);
  // A sibling in the same folder, so that the rename stays on one file system.
  const std::string temporary = native + ".~" + std::to_string(getpid());
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  if (close(fd) != 0 || !written || std::rename(temporary.c_str(), native.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

namespace {

// The platform's wildcard match: "*" any run, "?" one character, case folded.
bool MatchesPattern(const std::string& name, const std::string& pattern) {
  std::size_t n = 0;
  std::size_t p = 0;
  std::size_t starP = std::string::npos;
  std::size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

std::vector<FolderEntry> FindFiles(const std::string& pattern) {
  const std::size_t cut = pattern.find_last_of('\\');
  const std::string folder = cut == std::string::npos ? std::string(".") : pattern.substr(0, cut);
  const std::string namePattern = emulated::FoldCase(cut == std::string::npos ? pattern : pattern.substr(cut + 1));
  std::vector<FolderEntry> entries;
  const std::string nativeFolder = NativePath(folder.empty() ? std::string("\\") : folder);
  DIR* dir = opendir(nativeFolder.c_str());
  if (!dir) return entries;
  while (dirent* entry = readdir(dir)) {
    const std::string name = emulated::ProgramPath(entry->d_name);
    if (!MatchesPattern(emulated::FoldCase(name), namePattern)) continue;
    struct stat st {};
    const bool isDirectory = stat((nativeFolder + "/" + entry->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    entries.push_back({name, isDirectory});
  }
  closedir(dir);
  return entries;
}

}  // namespace zl::platform
