// Every spin lock of the driver: a kernel spin lock paired with the IRQL saved
// by whoever holds it.
#pragma once

#include <ndis.h>

namespace zl::driver {

struct KernelLock {
  KSPIN_LOCK Lock;
  KIRQL SavedIrql;
};

inline void InitializeKernelLock(KernelLock* lock) {
  KeInitializeSpinLock(&lock->Lock);
  lock->SavedIrql = PASSIVE_LEVEL;
}

inline void AcquireKernelLock(KernelLock* lock) {
  const KIRQL previous = KeAcquireSpinLockRaiseToDpc(&lock->Lock);
  lock->SavedIrql = previous;
}

inline void ReleaseKernelLock(KernelLock* lock) { KeReleaseSpinLock(&lock->Lock, lock->SavedIrql); }

}  // namespace zl::driver
