// The two driver-wide events clients may set: WanEvent and AdapterListChangeEvent.
// Each slot holds a referenced event object or none.
#pragma once

#include <ndis.h>

namespace zl::driver {

void InitializeDriverEvents();
// Stores a referenced event (or none) in the slot and releases the previous one.
void ReplaceAdapterListChangeEvent(PKEVENT referencedEvent);
void ReplaceWanEvent(PKEVENT referencedEvent);
void SignalAdapterListChange();
void SignalWanEvent();
// Releases both slots (unload).
void ReleaseDriverEvents();

}  // namespace zl::driver
