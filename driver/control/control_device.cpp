#include "driver/control/control_device.h"

#include "driver/datapath/packet_queue.h"
#include "driver/entry/driver_state.h"
#include "driver/filtertable/filter_table.h"

namespace zl::driver {
namespace {

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

}  // namespace

NTSTATUS VorlanexOpenClose(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  LONG openCount;
  switch (location->MajorFunction) {
    case IRP_MJ_CREATE:
      openCount = InterlockedIncrement(&Driver.OpenCount);
      break;
    case IRP_MJ_CLOSE:
      openCount = InterlockedDecrement(&Driver.OpenCount);
      break;
    default:
      openCount = InterlockedCompareExchange(&Driver.OpenCount, 0, 0);
      break;
  }
  if (openCount == 0) {
    ResetAllAdapters();
    RemoveFilterTable();
  }
  return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS VorlanexControl(PDEVICE_OBJECT, PIRP irp) {
  PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
  if (location->FileObject == nullptr) return Complete(irp, STATUS_UNSUCCESSFUL, 0);
  // No control code is served by this device yet; every request is refused
  // the way an unknown code is.
  return Complete(irp, STATUS_INVALID_PARAMETER, 0);
}

}  // namespace zl::driver
