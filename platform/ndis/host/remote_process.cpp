#include "zl/ndishost/remote_process.h"

#include <poll.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>

#include "zl/ndishost/kernel_host.h"

namespace zl::ndishost {
namespace {

int PidfdOpen(pid_t pid) { return int(::syscall(SYS_pidfd_open, pid, 0)); }
int PidfdGetfd(int pidfd, int targetFd) { return int(::syscall(SYS_pidfd_getfd, pidfd, targetFd, 0)); }

bool IsEventfd(int fd) {
  char link[64] = {};
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = ::readlink(path.c_str(), link, sizeof link - 1);
  return length > 0 && std::strcmp(link, "anon_inode:[eventfd]") == 0;
}

}  // namespace

RemoteProcess::RemoteProcess(pid_t pid) : pid_(pid), pidfd_(PidfdOpen(pid)) {}

RemoteProcess::~RemoteProcess() {
  EndRequest();
  if (pidfd_ >= 0) ::close(pidfd_);
}

bool RemoteProcess::Alive() {
  if (pidfd_ < 0) return false;
  // Asked again only when the last answer is older than kAliveFor. An ended
  // process's pid is handed out again only after the kernel has gone round
  // every other pid (pid_max of them), which takes far longer than that; till
  // then a copy from or to the ended process fails by itself.
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard lock(mutex_);
  if (alive_ && now - checked_ >= kAliveFor) {
    // A pidfd reads as ready once its process has ended.
    pollfd fd{pidfd_, POLLIN, 0};
    alive_ = ::poll(&fd, 1, 0) == 0;
    checked_ = now;
  }
  return alive_;
}

bool RemoteProcess::Copy(std::uint64_t address, void* local, std::size_t length, bool write) {
  if (length == 0) return true;
  if (!Alive() || length > SSIZE_MAX) return false;
  iovec localVector{local, length};
  iovec remoteVector{reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), length};
  const ssize_t moved = write ? ::process_vm_writev(pid_, &localVector, 1, &remoteVector, 1, 0)
                              : ::process_vm_readv(pid_, &localVector, 1, &remoteVector, 1, 0);
  // A partial transfer means part of the range is not mapped: a fault.
  return moved == static_cast<ssize_t>(length);
}

bool RemoteProcess::ReadMemory(std::uint64_t address, void* destination, std::size_t length) {
  if (length == 0) return true;
  if (FromReadAhead(address, destination, length)) return true;
  return ReadAhead(address, destination, length);
}

bool RemoteProcess::WriteMemory(std::uint64_t address, const void* source, std::size_t length) {
  // The caller's bytes may change under a copy taken earlier.
  DropReadAhead();
  return Copy(address, const_cast<void*>(source), length, true);
}

bool RemoteProcess::FromReadAhead(std::uint64_t address, void* destination, std::size_t length) {
  std::lock_guard lock(mutex_);
  if (address < aheadAddress_ || address - aheadAddress_ > aheadLength_ ||
      length > aheadLength_ - (address - aheadAddress_)) {
    return false;
  }
  std::memcpy(destination, ahead_.data() + (address - aheadAddress_), length);
  return true;
}

bool RemoteProcess::ReadAhead(std::uint64_t address, void* destination, std::size_t length) {
  if (!Alive()) return false;
  std::unique_lock lock(mutex_);
  // A read as large as the copy would be goes straight to the caller's memory.
  if (length >= window_) {
    lock.unlock();
    return Copy(address, destination, length, false);
  }
  // A read after the last copy's start that the copy did not hold: the
  // request walks on through a batch.
  if (aheadLength_ > 0 && address > aheadAddress_) {
    window_ = std::min(window_ * 2, kLargestReadAhead);
  }
  // Not past the end of the address space.
  const std::size_t window = address > UINT64_MAX - window_ ? std::size_t(UINT64_MAX - address + 1) : window_;
  if (ahead_.size() < window_) ahead_.resize(window_);
  aheadLength_ = 0;
  iovec localVector{ahead_.data(), window};
  iovec remoteVector{reinterpret_cast<void*>(static_cast<std::uintptr_t>(address)), window};
  // The transfer stops where the mapped memory ends; the asked bytes must all
  // have come, the rest is kept as far as it came.
  const ssize_t moved = ::process_vm_readv(pid_, &localVector, 1, &remoteVector, 1, 0);
  if (moved < 0 || std::size_t(moved) < length) return false;
  aheadAddress_ = address;
  aheadLength_ = std::size_t(moved);
  std::memcpy(destination, ahead_.data(), length);
  return true;
}

void RemoteProcess::DropReadAhead() {
  std::lock_guard lock(mutex_);
  aheadLength_ = 0;
}

PKEVENT RemoteProcess::EventOfHandle(std::uint64_t handle) {
  if (handle == 0 || handle > std::uint64_t(INT_MAX) || !Alive()) return nullptr;
  const int fd = PidfdGetfd(pidfd_, int(handle));
  if (fd < 0) return nullptr;
  if (!IsEventfd(fd)) {
    ::close(fd);
    return nullptr;
  }
  PKEVENT event = KernelHost::Current().CreateEventfdEvent(fd);
  std::lock_guard lock(mutex_);
  lookups_.push_back(event);
  return event;
}

void RemoteProcess::EndRequest() {
  std::vector<PKEVENT> lookups;
  {
    std::lock_guard lock(mutex_);
    aheadLength_ = 0;
    window_ = kReadAhead;
    lookups.swap(lookups_);
  }
  for (PKEVENT event : lookups) ObfDereferenceObject(event);
}

}  // namespace zl::ndishost
