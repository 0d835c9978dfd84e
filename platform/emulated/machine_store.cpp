#include "machine_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "zl/platform/errors.h"

namespace zl::platform::emulated {
namespace {

std::string HivePath(const std::string& dir) { return dir + "/hive"; }
std::string LockPath(const std::string& dir) { return dir + "/hive.lock"; }

class FileLock {
 public:
  FileLock(const std::string& path, int operation) {
    fd_ = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return;
    while (flock(fd_, operation) != 0) {
      if (errno != EINTR) {
        close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

bool ReadFile(const std::string& path, std::string& bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bytes.clear();
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      return n == 0;
    }
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".tmp." + std::to_string(getpid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      unlink(temp.c_str());
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0 || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  return true;
}

bool LoadHive(const std::string& dir, Hive& hive) {
  std::string text;
  if (!ReadFile(HivePath(dir), text)) return false;
  return hive.Parse(text);
}

}  // namespace

std::string MachineDirectory() {
  const char* dir = std::getenv("ZEPHLINK_MACHINE");
  if (!dir || !*dir) return {};
  std::string path = dir;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool MachineWritable() {
  const std::string dir = MachineDirectory();
  if (dir.empty()) return false;
  return faccessat(AT_FDCWD, dir.c_str(), W_OK, AT_EACCESS) == 0 &&
         faccessat(AT_FDCWD, HivePath(dir).c_str(), W_OK, AT_EACCESS) == 0;
}


std::uint32_t ReadMachine(const std::function<void(const Hive&)>& reader) {
  const std::string dir = MachineDirectory();
  if (dir.empty()) return kErrorFileNotFound;
  Hive hive;
  {
    FileLock lock(LockPath(dir), LOCK_SH);
    if (!lock.Held() || !LoadHive(dir, hive)) return kErrorFileNotFound;
  }
  reader(hive);
  return kErrorSuccess;
}

std::uint32_t UpdateMachine(const std::function<bool(Hive&)>& writer) {
  return UpdateMachineIn(MachineDirectory(), writer);
}

std::uint32_t UpdateMachineIn(const std::string& dir, const std::function<bool(Hive&)>& writer) {
  if (dir.empty()) return kErrorFileNotFound;
  if (faccessat(AT_FDCWD, dir.c_str(), W_OK, AT_EACCESS) != 0 ||
      faccessat(AT_FDCWD, HivePath(dir).c_str(), W_OK, AT_EACCESS) != 0) {
    return kErrorAccessDenied;
  }
  FileLock lock(LockPath(dir), LOCK_EX);
  if (!lock.Held()) return kErrorAccessDenied;
  Hive hive;
  if (!LoadHive(dir, hive)) return kErrorFileNotFound;
  if (!writer(hive)) return kErrorSuccess;
  return WriteFileAtomically(HivePath(dir), hive.Serialize()) ? kErrorSuccess : kErrorAccessDenied;
}

bool InitialiseMachineDirectory(const std::string& directory) {
  if (mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (stat(HivePath(directory).c_str(), &st) == 0) return true;
  Hive empty;
  empty.Root().FindOrCreate(kMachineKey);
  return WriteFileAtomically(HivePath(directory), empty.Serialize());
}

}  // namespace zl::platform::emulated
