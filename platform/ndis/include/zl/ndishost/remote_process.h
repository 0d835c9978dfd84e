// Another process as the requester of a control request: the client of the
// control device on the other end of a connection (its pid from the socket's
// peer credentials).
//
// Its memory is read and written with process_vm_readv / process_vm_writev, so
// a pointer that is not mapped in that process fails the access. Its event
// handles are eventfd numbers of that process: a handle is resolved with
// pidfd_getfd into the host's own copy of the eventfd, which becomes a host
// event object (KernelHost::CreateEventfdEvent) that writes the eventfd when the
// driver signals it. A handle that is not an eventfd names no event.
//
// The process is held by a pidfd from construction on; once it has ended,
// every access fails (a recycled pid is never reached). Whether it has ended
// is asked at most once a millisecond, not once per copy (see Alive).
//
// A small read also takes the bytes after it, as far as they are mapped (up to
// kReadAhead in all): the driver reads a packet record's header and then its
// frame, and the frame then comes from that copy instead of a second
// process_vm_readv. When a request reads on beyond what its last copy holds (a
// batch of records, one after the other), each further copy is twice as large,
// up to kLargestReadAhead, so a batch costs a few reads instead of one per
// record. The copy holds only for the request being dispatched: it is dropped
// by EndRequest and by every write; EndRequest also shrinks the next copy back
// to kReadAhead.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <vector>

#include "zl/ndishost/requester.h"

namespace zl::ndishost {

class RemoteProcess final : public Requester {
 public:
  explicit RemoteProcess(pid_t pid);
  ~RemoteProcess() override;
  RemoteProcess(const RemoteProcess&) = delete;
  RemoteProcess& operator=(const RemoteProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // False when the process could not be held (it had ended already).
  bool Valid() const { return pidfd_ >= 0; }

  bool ReadMemory(std::uint64_t address, void* destination, std::size_t length) override;
  bool WriteMemory(std::uint64_t address, const void* source, std::size_t length) override;
  // The object carries one reference for the lookup itself, which EndRequest
  // drops; the driver keeps the object alive by the reference it takes.
  PKEVENT EventOfHandle(std::uint64_t handle) override;

  // Called when a request has been dispatched: drops the lookups' references.
  void EndRequest();

 private:
  bool Alive();
  bool Copy(std::uint64_t address, void* local, std::size_t length, bool write);
  bool FromReadAhead(std::uint64_t address, void* destination, std::size_t length);
  bool ReadAhead(std::uint64_t address, void* destination, std::size_t length);
  void DropReadAhead();

  pid_t pid_;
  int pidfd_ = -1;
  std::mutex mutex_;
  std::vector<PKEVENT> lookups_;
  static constexpr std::chrono::milliseconds kAliveFor{1};
  std::chrono::steady_clock::time_point checked_{};
  bool alive_ = true;
  // A packet record: its 32-byte header and a frame of up to 1514 bytes.
  static constexpr std::size_t kReadAhead = 2048;
  // Sixteen such records and then some.
  static constexpr std::size_t kLargestReadAhead = 32 * 1024;
  std::size_t window_ = kReadAhead;  // the size of the next copy
  std::vector<std::uint8_t> ahead_;
  std::uint64_t aheadAddress_ = 0;
  std::size_t aheadLength_ = 0;
};

}  // namespace zl::ndishost
