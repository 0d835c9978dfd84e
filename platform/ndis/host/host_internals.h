// Private pieces of the kernel host shared by its implementation files.
#pragma once

#include <ndis.h>

#include <atomic>
#include <mutex>
#include <set>

#include "zl/ndishost/kernel_host.h"

namespace zl::ndishost {

// The IRQL of the calling thread as the host tracks it.
void SetCurrentIrql(KIRQL irql);

// Raises the calling thread to DISPATCH_LEVEL for the lifetime of the object
// when the caller's flags say the call happens at dispatch level.
class IrqlScope {
 public:
  explicit IrqlScope(bool atDispatch);
  ~IrqlScope();

 private:
  KIRQL previous_;
};

// Marks a memory descriptor whose pages can never be mapped.
inline PVOID const kUnmappablePages = reinterpret_cast<PVOID>(std::uintptr_t{0xDEAD});

// Pool handles of the lists the emulated stack and miniport build themselves.
extern int kStackPoolSentinel;
extern int kMiniportPoolSentinel;

struct HostNblPool {
  NET_BUFFER_LIST_POOL_PARAMETERS parameters;
  std::atomic<long> outstanding{0};
};

// One list of a driver's pool with its net buffer, descriptor and data buffer in
// one block, as NDIS gives them when the pool allocates data with every list.
struct PooledNbl {
  NET_BUFFER_LIST list;
  NET_BUFFER buffer;
  MDL descriptor;
  // data follows
};

// An event object with the reference count and the signal count the host keeps.
// An event named by a remote process's handle also carries the host's copy of
// that process's eventfd: signalling writes it, the last reference closes it.
struct HostEventObject {
  std::atomic<long> references{1};
  std::atomic<long> signals{0};
  std::atomic<int> signalFd{-1};
  KEVENT event = {};
};

struct KernelHost::Internals {
  std::mutex mutex;
  std::set<HostNblPool*> pools;
  std::set<HostEventObject*> events;
  std::vector<std::unique_ptr<HostEventObject>> eventStorage;
};

HostEventObject* EventObjectOf(PVOID object);

// Writes the eventfd of a signalled event that has one: at once, or when
// signalled at DISPATCH_LEVEL, once the thread goes below that level
// (WriteDeferredEventfdSignals, called wherever the IRQL is lowered).
void SignalEventfd(HostEventObject* object, bool atDispatch);
void WriteDeferredEventfdSignals();

// While one exists on a thread, that thread's eventfd writes wait for its end
// (a burst of frames wakes a waiting client once, when all of it is queued).
class EventfdSignalBatch {
 public:
  EventfdSignalBatch();
  ~EventfdSignalBatch();
  EventfdSignalBatch(const EventfdSignalBatch&) = delete;
  EventfdSignalBatch& operator=(const EventfdSignalBatch&) = delete;
};
bool IsDriverPool(NDIS_HANDLE poolHandle);

}  // namespace zl::ndishost
