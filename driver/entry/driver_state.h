// Driver-wide state: one instance, set up by DriverEntry and torn down by
// DriverUnload.
#pragma once

#include <ndis.h>

#include "driver/entry/kernel_lock.h"

namespace zl::driver {

struct DriverState {
  NDIS_HANDLE FilterDriverHandle;
  PDRIVER_OBJECT DriverContext;  // the driver object, registered as the filter driver context
  PDEVICE_OBJECT ControlDevice;
  NDIS_HANDLE DeviceHandle;
  PVOID NblPool;  // NDIS_HANDLE; read by the data path, which may run before it exists
  volatile LONG OpenCount;
  // WanEvent and AdapterListChangeEvent, guarded by EventLock so that a slot
  // is never released while it is being signalled.
  KernelLock EventLock;
  PKEVENT WanEvent;
  PKEVENT AdapterListChangeEvent;
  ULONG MTUDecrement;
  ULONG StartupMode;
};

extern DriverState Driver;

// The NBL pool for re-injection, or none while start has not created it.
inline NDIS_HANDLE CurrentNblPool() { return ReadPointerNoFence(&Driver.NblPool); }

}  // namespace zl::driver

NDIS_BEGIN_DECLS
DRIVER_INITIALIZE DriverEntry;
DRIVER_UNLOAD DriverUnload;
NDIS_END_DECLS
