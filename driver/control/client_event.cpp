#include "driver/control/control_request.h"

namespace zl::driver {

NTSTATUS ReferenceClientEvent(ULONG64 handle, PKEVENT* event) {
  PVOID object = nullptr;
  const NTSTATUS status = ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(ULONG_PTR(handle)), SYNCHRONIZE,
                                                    *ExEventObjectType, UserMode, &object, nullptr);
  if (!NT_SUCCESS(status)) return status;
  *event = static_cast<PKEVENT>(object);
  return STATUS_SUCCESS;
}

}  // namespace zl::driver
