#include "zl/platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "machine_store.h"

namespace zl::platform {

// A mutex name is a lock file of the machine's "Mutexes" folder, held with
// flock: the lock goes with the holder's descriptor, so it is released when
// the holder closes it or dies, and children do not inherit it.
struct NamedMutex::Impl {
  int fd = -1;
};

NamedMutex::NamedMutex() = default;
NamedMutex::~NamedMutex() { Close(); }

NamedMutex::Result NamedMutex::Create(const std::string& name) {
  Close();
  const std::string machine = emulated::MachineDirectory();
  if (machine.empty() || name.empty()) return Result::Failed;
  const std::string folder = machine + "/Mutexes";
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return Result::Failed;
  std::string fileName;
  for (char c : name) fileName += (c == '/' || c == '\\') ? '_' : c;
  const int fd = open((folder + "/" + fileName).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Result::Failed;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    return held ? Result::AlreadyExists : Result::Failed;
  }
  impl_ = std::make_unique<Impl>();
  impl_->fd = fd;
  return Result::Created;
}

void NamedMutex::Close() {
  if (impl_ && impl_->fd >= 0) close(impl_->fd);
  impl_.reset();
}

}  // namespace zl::platform
