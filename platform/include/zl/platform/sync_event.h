// Manual-reset events that a program hands to a driver by handle: the driver
// signals them, the program waits on them and resets them.
#pragma once

#include <cstdint>

namespace zl::platform {

using EventHandle = std::intptr_t;
inline constexpr EventHandle kNoEvent = 0;  // "no event" in requests that take one

// kNoEvent when no event could be created.
EventHandle CreateManualResetEvent();
void CloseEventHandle(EventHandle event);

void SignalEvent(EventHandle event);
void ClearEvent(EventHandle event);
// True when the event is signalled within `timeoutMs` (negative: no limit).
// Waiting does not reset a manual-reset event.
bool WaitForEvent(EventHandle event, int timeoutMs);

}  // namespace zl::platform
