#include "driver/control/control_device.h"

#include "driver/control/control_operations.h"
#include "driver/control/vorlanex_interface.h"
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

ControlOperation OperationFor(ULONG code) {
  using namespace zl::vorlanex;
  switch (code) {
    case IOCTL_VORLANEX_GET_VERSION: return GetDriverVersion;
    case IOCTL_VORLANEX_GET_ADAPTER_LIST: return GetAdapterList;
    case IOCTL_VORLANEX_SEND_TO_ADAPTER: return SendPacketToAdapter;
    case IOCTL_VORLANEX_SEND_TO_PROTOCOLS: return SendPacketToProtocols;
    case IOCTL_VORLANEX_READ_PACKET: return ReadPacket;
    case IOCTL_VORLANEX_SET_ADAPTER_MODE: return SetAdapterMode;
    case IOCTL_VORLANEX_FLUSH_ADAPTER_QUEUE: return FlushAdapterQueue;
    case IOCTL_VORLANEX_SET_PACKET_EVENT: return SetPacketEvent;
    case IOCTL_VORLANEX_SET_WAN_EVENT: return SetWanEvent;
    case IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT: return SetAdapterListChangeEvent;
    case IOCTL_VORLANEX_GET_QUEUE_SIZE: return GetAdapterQueueSize;
    case IOCTL_VORLANEX_GET_ADAPTER_MODE: return GetAdapterMode;
    case IOCTL_VORLANEX_SET_FILTER_TABLE: return SetFilterTable;
    case IOCTL_VORLANEX_RESET_FILTER_TABLE: return ResetFilterTable;
    case IOCTL_VORLANEX_GET_FILTER_TABLE_SIZE: return GetFilterTableSize;
    case IOCTL_VORLANEX_GET_FILTER_TABLE: return GetFilterTable;
    case IOCTL_VORLANEX_GET_FILTER_TABLE_RESET_STATS: return GetFilterTableResetStats;
    case IOCTL_VORLANEX_GET_RAS_LINKS: return GetRasLinks;
    case IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER: return SendPacketsToAdapter;
    case IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS: return SendPacketsToProtocols;
    case IOCTL_VORLANEX_READ_PACKETS: return ReadPackets;
    default: return nullptr;
  }
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

  ControlRequest request;
  request.Irp = irp;
  request.Buffer = static_cast<PUCHAR>(irp->AssociatedIrp.SystemBuffer);
  request.InputLength = location->Parameters.DeviceIoControl.InputBufferLength;
  request.OutputLength = location->Parameters.DeviceIoControl.OutputBufferLength;
  request.Code = location->Parameters.DeviceIoControl.IoControlCode;
  if (request.Buffer == nullptr) request.InputLength = request.OutputLength = 0;

  if (request.Code == zl::vorlanex::IOCTL_VORLANEX_OID_SET || request.Code == zl::vorlanex::IOCTL_VORLANEX_OID_QUERY) {
    return PassOidRequest(request);
  }
  ControlOperation operation = OperationFor(request.Code);
  ULONG bytes = 0;
  if (operation == nullptr || !NT_SUCCESS(operation(request, &bytes))) {
    return Complete(irp, STATUS_INVALID_PARAMETER, 0);
  }
  return Complete(irp, STATUS_SUCCESS, bytes < request.OutputLength ? bytes : request.OutputLength);
}

}  // namespace zl::driver
