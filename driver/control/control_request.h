// One device-control request as the operations of the control device see it,
// and the pieces they share: the adapter a request names and the event handle it
// carries.
#pragma once

#include <ndis.h>

#include "driver/modules/filter_module.h"
#include "driver/modules/module_list.h"

namespace zl::driver {

struct ControlRequest {
  PIRP Irp;
  PUCHAR Buffer;  // the system buffer: input on entry, output on completion
  ULONG InputLength;
  ULONG OutputLength;
  ULONG Code;
};

// The value of the given width at an offset of the system buffer.
inline ULONG64 BufferU64(const ControlRequest& request, ULONG offset) {
  ULONG64 value;
  RtlCopyMemory(&value, request.Buffer + offset, sizeof value);
  return value;
}
inline ULONG BufferU32(const ControlRequest& request, ULONG offset) {
  ULONG value;
  RtlCopyMemory(&value, request.Buffer + offset, sizeof value);
  return value;
}
inline void WriteBufferU32(const ControlRequest& request, ULONG offset, ULONG value) {
  RtlCopyMemory(request.Buffer + offset, &value, sizeof value);
}

// The running adapter named by the handle at offset 0 of an input of at least
// minimumInput bytes, held until the object goes out of scope (detach waits for
// it); none when the input is shorter or no running adapter has that handle.
class RequestAdapter {
 public:
  RequestAdapter(const ControlRequest& request, ULONG minimumInput)
      : module_(request.InputLength >= minimumInput ? LookupAdapter(BufferU64(request, 0)) : nullptr) {}
  ~RequestAdapter() {
    if (module_ != nullptr) ReleaseAdapter(module_);
  }
  RequestAdapter(const RequestAdapter&) = delete;
  RequestAdapter& operator=(const RequestAdapter&) = delete;

  FilterModule* Module() const { return module_; }
  explicit operator bool() const { return module_ != nullptr; }

 private:
  FilterModule* module_;
};

// Turns an event handle of the calling process into a referenced event object
// (synchronise access, event type, checked as a user-mode handle).
NTSTATUS ReferenceClientEvent(ULONG64 handle, PKEVENT* event);

}  // namespace zl::driver
