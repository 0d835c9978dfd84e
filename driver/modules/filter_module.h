// FilterModule: the driver's record of one filter module, one per adapter it
// is attached above. The adapter's device name is stored right after the record
// in the same allocation.
#pragma once

#include <ndis.h>

#include "driver/datapath/packet_queue.h"
#include "driver/entry/kernel_lock.h"

namespace zl::driver {

constexpr LONG MODULE_PAUSED = 3;
constexpr LONG MODULE_RUNNING = 6;
constexpr ULONG ADAPTER_NAME_SIZE = 256;
constexpr ULONG OFFLOAD_PARAMETERS_SIZE = 24;

struct FilterModule {
  LIST_ENTRY Link;  // position in the ModuleList
  NDIS_HANDLE FilterHandle;
  UNICODE_STRING MiniportName;
  KernelLock StateLock;  // guards reads of State by LookupAdapter and the pending cloned OID request
  volatile LONG State;   // written only by interlocked exchange
  volatile LONG OutstandingIndications;
  volatile LONG OutstandingSends;
  PNDIS_OID_REQUEST PendingClonedRequest;
  KernelLock OwnRequestLock;
  LIST_ENTRY OwnRequests;
  CHAR AdapterName[ADAPTER_NAME_SIZE];  // ANSI device name, NUL-terminated, rest zero
  UCHAR WanLocalAddress[6];
  LIST_ENTRY RasLinks;
  KernelLock RasLinkLock;
  UCHAR CurrentMacAddress[6];
  ULONG Medium;
  volatile USHORT Mtu;  // as last learned, before MTUDecrement; 0 until learned
  alignas(8) UCHAR OffloadParameters[OFFLOAD_PARAMETERS_SIZE];
  PacketQueue Queue;
  // Control requests that found the module through LookupAdapter and have not
  // finished; detach waits for them before the record goes away.
  volatile LONG References;
};

// The state compared against Running with an interlocked compare-exchange, so
// every path sees a complete value.
inline bool ModuleIsRunning(FilterModule* module) {
  return InterlockedCompareExchange(&module->State, MODULE_RUNNING, MODULE_RUNNING) == MODULE_RUNNING;
}

}  // namespace zl::driver
