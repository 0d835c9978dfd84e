#include "zl/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

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

}  // namespace zl::platform
