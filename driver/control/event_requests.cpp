#include "driver/control/control_operations.h"
#include "driver/control/vorlanex_interface.h"
#include "driver/entry/driver_events.h"

namespace zl::driver {
namespace {

// The previous event is released first; a handle that names no event leaves the
// slot empty and fails the request, a zero handle leaves it empty and succeeds.
NTSTATUS ReplaceDriverEvent(const ControlRequest& request, ULONG* bytes, void (*replace)(PKEVENT)) {
  if (request.InputLength < sizeof(zl::vorlanex::EventRequest)) return STATUS_INVALID_PARAMETER;
  replace(nullptr);
  const ULONG64 handle = BufferU64(request, 0);
  if (handle != 0) {
    PKEVENT event = nullptr;
    if (!NT_SUCCESS(ReferenceClientEvent(handle, &event))) return STATUS_INVALID_PARAMETER;
    replace(event);
  }
  *bytes = 0;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS SetWanEvent(const ControlRequest& request, ULONG* bytes) {
  return ReplaceDriverEvent(request, bytes, ReplaceWanEvent);
}

NTSTATUS SetAdapterListChangeEvent(const ControlRequest& request, ULONG* bytes) {
  return ReplaceDriverEvent(request, bytes, ReplaceAdapterListChangeEvent);
}

}  // namespace zl::driver
