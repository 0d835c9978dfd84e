// The requester of the request being dispatched, the guarded copies through it,
// and handle lookups for ObReferenceObjectByHandle.
#include "zl/ndishost/requester.h"

#include <sys/uio.h>
#include <unistd.h>

#include "host_internals.h"
#include "zl/ndishost/kernel_host.h"

namespace zl::ndishost {
namespace {

thread_local Requester* currentRequester = nullptr;

// The object type ExEventObjectType points at; only its address matters.
struct ObjectTypeSentinel {
  int unused;
} eventObjectType;

bool CopyWithinProcess(std::uint64_t remote, void* local, std::size_t length, bool write) {
  if (length == 0) return true;
  iovec localVector{local, length};
  iovec remoteVector{reinterpret_cast<void*>(static_cast<std::uintptr_t>(remote)), length};
  const ssize_t moved = write ? process_vm_writev(getpid(), &localVector, 1, &remoteVector, 1, 0)
                              : process_vm_readv(getpid(), &localVector, 1, &remoteVector, 1, 0);
  return moved == static_cast<ssize_t>(length);
}

}  // namespace

Requester* CurrentRequester() { return currentRequester; }

RequesterScope::RequesterScope(Requester* requester) : previous_(currentRequester) { currentRequester = requester; }
RequesterScope::~RequesterScope() { currentRequester = previous_; }

void CallerProcess::FaultRange(const void* start, std::size_t length) {
  std::lock_guard lock(mutex_);
  faults_.emplace_back(AddressOf(start), length);
}

void CallerProcess::SetAfterReadHook(std::function<void(std::uint64_t, std::size_t)> hook) {
  std::lock_guard lock(mutex_);
  afterRead_ = std::move(hook);
}

std::vector<CallerProcess::Access> CallerProcess::Accesses() const {
  std::lock_guard lock(mutex_);
  return accesses_;
}

std::uint64_t CallerProcess::OpenHandle(PKEVENT event) {
  std::lock_guard lock(mutex_);
  const std::uint64_t handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = event;
  return handle;
}

void CallerProcess::CloseHandle(std::uint64_t handle) {
  std::lock_guard lock(mutex_);
  handles_.erase(handle);
}

bool CallerProcess::Faults(std::uint64_t address, std::size_t length) const {
  for (const auto& [start, size] : faults_) {
    if (address < start + size && start < address + length) return true;
  }
  return false;
}

bool CallerProcess::ReadMemory(std::uint64_t address, void* destination, std::size_t length) {
  std::function<void(std::uint64_t, std::size_t)> hook;
  {
    std::lock_guard lock(mutex_);
    accesses_.push_back({false, address, length});
    if (Faults(address, length)) return false;
    hook = afterRead_;
  }
  if (!CopyWithinProcess(address, destination, length, false)) return false;
  if (hook) hook(address, length);
  return true;
}

bool CallerProcess::WriteMemory(std::uint64_t address, const void* source, std::size_t length) {
  {
    std::lock_guard lock(mutex_);
    accesses_.push_back({true, address, length});
    if (Faults(address, length)) return false;
  }
  return CopyWithinProcess(address, const_cast<void*>(source), length, true);
}

PKEVENT CallerProcess::EventOfHandle(std::uint64_t handle) {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : it->second;
}

}  // namespace zl::ndishost

using namespace zl::ndishost;

extern "C" {

POBJECT_TYPE ExEventObjectTypeValue = reinterpret_cast<POBJECT_TYPE>(&eventObjectType);
POBJECT_TYPE* ExEventObjectType = &ExEventObjectTypeValue;

NTSTATUS ObReferenceObjectByHandle(HANDLE Handle, ACCESS_MASK, POBJECT_TYPE ObjectType, KPROCESSOR_MODE AccessMode,
                                   PVOID* Object, POBJECT_HANDLE_INFORMATION) {
  KernelHost& host = KernelHost::Current();
  if (KeGetCurrentIrql() != PASSIVE_LEVEL) host.RecordViolation("ObReferenceObjectByHandle above PASSIVE_LEVEL");
  Requester* requester = CurrentRequester();
  if (requester == nullptr || AccessMode != UserMode) {
    host.RecordViolation("a user handle referenced outside the context of a user request");
    return STATUS_INVALID_HANDLE;
  }
  if (ObjectType != *ExEventObjectType) return STATUS_OBJECT_TYPE_MISMATCH;
  PKEVENT event = requester->EventOfHandle(reinterpret_cast<std::uintptr_t>(Handle));
  if (event == nullptr) return STATUS_INVALID_HANDLE;
  ObfReferenceObject(event);
  *Object = event;
  return STATUS_SUCCESS;
}

NTSTATUS CopyFromCallerMemory(PVOID Destination, ULONG64 CallerAddress, SIZE_T Length) {
  Requester* requester = CurrentRequester();
  if (requester == nullptr) {
    KernelHost::Current().RecordViolation("caller memory read outside the context of a user request");
    return STATUS_ACCESS_VIOLATION;
  }
  return requester->ReadMemory(CallerAddress, Destination, Length) ? STATUS_SUCCESS : STATUS_ACCESS_VIOLATION;
}

NTSTATUS CopyToCallerMemory(ULONG64 CallerAddress, const VOID* Source, SIZE_T Length) {
  Requester* requester = CurrentRequester();
  if (requester == nullptr) {
    KernelHost::Current().RecordViolation("caller memory written outside the context of a user request");
    return STATUS_ACCESS_VIOLATION;
  }
  return requester->WriteMemory(CallerAddress, Source, Length) ? STATUS_SUCCESS : STATUS_ACCESS_VIOLATION;
}

}  // extern "C"
