// The process a control request comes from, as the driver sees it while the
// request is dispatched: its memory, which the driver reaches only through the
// guarded copies CopyFromCallerMemory / CopyToCallerMemory (pointers inside
// requests are addresses there), and its handle table, through which
// ObReferenceObjectByHandle turns an event handle into the event object.
//
// The control device's transport supplies a Requester per connection; tests use
// CallerProcess, which addresses the test process's own memory and can be made
// to fault chosen ranges.
#pragma once

#include <ndis.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace zl::ndishost {

class Requester {
 public:
  virtual ~Requester() = default;
  // Copies the whole range or answers false; a false answer may leave part of
  // the destination written.
  virtual bool ReadMemory(std::uint64_t address, void* destination, std::size_t length) = 0;
  virtual bool WriteMemory(std::uint64_t address, const void* source, std::size_t length) = 0;
  // The event object a handle of this process names, or null.
  virtual PKEVENT EventOfHandle(std::uint64_t handle) = 0;
};

// The requester whose request the calling thread is dispatching, or null.
Requester* CurrentRequester();

// Makes a requester current on the calling thread for the lifetime of the object.
class RequesterScope {
 public:
  explicit RequesterScope(Requester* requester);
  ~RequesterScope();
  RequesterScope(const RequesterScope&) = delete;
  RequesterScope& operator=(const RequesterScope&) = delete;

 private:
  Requester* previous_;
};

// The test process as requester. Memory is read and written with
// process_vm_readv / process_vm_writev on the process itself, so an address that
// is not mapped fails the copy instead of crashing; ranges marked with
// FaultRange fail as well.
class CallerProcess final : public Requester {
 public:
  static std::uint64_t AddressOf(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

  // Every access touching [start, start + length) fails.
  void FaultRange(const void* start, std::size_t length);
  // Runs after every successful read (a test changes the caller's memory there,
  // as another thread of the caller could).
  void SetAfterReadHook(std::function<void(std::uint64_t address, std::size_t length)> hook);
  // Reads and writes made so far: address and length of each.
  struct Access {
    bool write;
    std::uint64_t address;
    std::size_t length;
  };
  std::vector<Access> Accesses() const;

  // A handle naming the event (the test's own reference stands for the handle's).
  std::uint64_t OpenHandle(PKEVENT event);
  void CloseHandle(std::uint64_t handle);

  bool ReadMemory(std::uint64_t address, void* destination, std::size_t length) override;
  bool WriteMemory(std::uint64_t address, const void* source, std::size_t length) override;
  PKEVENT EventOfHandle(std::uint64_t handle) override;

 private:
  bool Faults(std::uint64_t address, std::size_t length) const;

  mutable std::mutex mutex_;
  std::vector<std::pair<std::uint64_t, std::size_t>> faults_;
  std::function<void(std::uint64_t, std::size_t)> afterRead_;
  std::vector<Access> accesses_;
  std::map<std::uint64_t, PKEVENT> handles_;
  std::uint64_t nextHandle_ = 0x40;
};

}  // namespace zl::ndishost
