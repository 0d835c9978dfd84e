#include "driver/entry/driver_events.h"

#include "driver/entry/driver_state.h"

namespace zl::driver {
namespace {

void Replace(PKEVENT* slot, PKEVENT referencedEvent) {
  AcquireKernelLock(&Driver.EventLock);
  PKEVENT previous = *slot;
  *slot = referencedEvent;
  ReleaseKernelLock(&Driver.EventLock);
  if (previous != nullptr) ObDereferenceObject(previous);
}

void Signal(PKEVENT* slot) {
  AcquireKernelLock(&Driver.EventLock);
  if (*slot != nullptr) KeSetEvent(*slot, 1, FALSE);
  ReleaseKernelLock(&Driver.EventLock);
}

}  // namespace

void InitializeDriverEvents() {
  InitializeKernelLock(&Driver.EventLock);
  Driver.WanEvent = nullptr;
  Driver.AdapterListChangeEvent = nullptr;
}

void ReplaceAdapterListChangeEvent(PKEVENT referencedEvent) { Replace(&Driver.AdapterListChangeEvent, referencedEvent); }
void ReplaceWanEvent(PKEVENT referencedEvent) { Replace(&Driver.WanEvent, referencedEvent); }
void SignalAdapterListChange() { Signal(&Driver.AdapterListChangeEvent); }
void SignalWanEvent() { Signal(&Driver.WanEvent); }

void ReleaseDriverEvents() {
  ReplaceAdapterListChangeEvent(nullptr);
  ReplaceWanEvent(nullptr);
}

}  // namespace zl::driver
