#include "zl/platform/sync_event.h"

#include <windows.h>

namespace zl::platform {

namespace {
HANDLE AsHandle(EventHandle event) { return reinterpret_cast<HANDLE>(event); }
}  // namespace

EventHandle CreateManualResetEvent() {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event == nullptr ? kNoEvent : reinterpret_cast<EventHandle>(event);
}

void CloseEventHandle(EventHandle event) {
  if (event != kNoEvent) CloseHandle(AsHandle(event));
}

void SignalEvent(EventHandle event) { SetEvent(AsHandle(event)); }

void ClearEvent(EventHandle event) { ResetEvent(AsHandle(event)); }

bool WaitForEvent(EventHandle event, int timeoutMs) {
  const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  return WaitForSingleObject(AsHandle(event), timeout) == WAIT_OBJECT_0;
}

}  // namespace zl::platform
