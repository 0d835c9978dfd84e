#include "driver/modules/own_oid_request.h"

#include "driver/entry/driver_state.h"
#include "driver/entry/pool_tags.h"

namespace zl::driver {

ULONG LowerReportedSize(ULONG size, ULONG floor) {
  const ULONG decrement = Driver.MTUDecrement;
  if (size <= floor) return size;
  if (size - floor < decrement) return floor;
  return size - decrement;
}

NDIS_STATUS IssueOwnOidRequest(FilterModule* module, PIRP clientRequest, NDIS_REQUEST_TYPE type, NDIS_OID oid,
                               PVOID buffer, ULONG length, ULONG outputLength) {
  auto* own = static_cast<OwnOidRequest*>(ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(OwnOidRequest), TAG_DRIVER));
  if (own == nullptr) return STATUS_INVALID_PARAMETER;
  RtlZeroMemory(own, sizeof(OwnOidRequest));
  PNDIS_OID_REQUEST request = &own->Request;
  request->Header.Type = NDIS_OBJECT_TYPE_OID_REQUEST;
  request->Header.Revision = NDIS_OID_REQUEST_REVISION_1;
  request->Header.Size = NDIS_SIZEOF_OID_REQUEST_REVISION_1;
  request->RequestType = type;
  // Query, set and method requests keep the OID, the buffer and its length at
  // the same places.
  request->DATA.QUERY_INFORMATION.Oid = oid;
  request->DATA.QUERY_INFORMATION.InformationBuffer = buffer;
  request->DATA.QUERY_INFORMATION.InformationBufferLength = length;
  if (type == NdisRequestMethod) {
    request->DATA.METHOD_INFORMATION.OutputBufferLength = outputLength;
    request->DATA.METHOD_INFORMATION.MethodId = 0;
  }
  request->RequestId = reinterpret_cast<PVOID>(ULONG_PTR(OWN_OID_REQUEST_ID));
  own->OwnMarker = 1;
  own->ClientRequest = clientRequest;

  AcquireKernelLock(&module->OwnRequestLock);
  InsertTailList(&module->OwnRequests, &own->Link);
  ReleaseKernelLock(&module->OwnRequestLock);

  const NDIS_STATUS status = NdisFOidRequest(module->FilterHandle, request);
  if (status == NDIS_STATUS_PENDING) return status;

  AcquireKernelLock(&module->OwnRequestLock);
  RemoveEntryList(&own->Link);
  ReleaseKernelLock(&module->OwnRequestLock);
  ExFreePoolWithTag(own, TAG_DRIVER);
  return status;
}

namespace {

// Completes the client's control request an own request carried, if any.
void FinishClientRequest(OwnOidRequest* own, NDIS_STATUS status) {
  PIRP irp = own->ClientRequest;
  if (irp != nullptr) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = location->Parameters.DeviceIoControl.IoControlCode;
    if (code == IOCTL_VORLANEX_OID_SET || code == IOCTL_VORLANEX_OID_QUERY) {
      // The length field of the client's request (offset 12) reports the bytes
      // moved, or the failure status.
      const ULONG reported = status == NDIS_STATUS_SUCCESS ? own->Request.DATA.QUERY_INFORMATION.BytesWritten
                                                           : ULONG(status);
      RtlCopyMemory(static_cast<PUCHAR>(irp->AssociatedIrp.SystemBuffer) + 12, &reported, sizeof reported);
    }
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = location->Parameters.DeviceIoControl.InputBufferLength;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
  }
}

}  // namespace

void CompleteOwnOidRequest(FilterModule* module, OwnOidRequest* own, NDIS_STATUS status) {
  AcquireKernelLock(&module->OwnRequestLock);
  RemoveEntryList(&own->Link);
  ReleaseKernelLock(&module->OwnRequestLock);
  FinishClientRequest(own, status);
  ExFreePoolWithTag(own, TAG_DRIVER);
}

void AdjustOidResult(FilterModule* module, PNDIS_OID_REQUEST request) {
  auto* buffer = static_cast<PUCHAR>(request->DATA.QUERY_INFORMATION.InformationBuffer);
  const ULONG length = request->DATA.QUERY_INFORMATION.InformationBufferLength;
  if (buffer == nullptr) return;
  USHORT size = 0;
  switch (request->DATA.QUERY_INFORMATION.Oid) {
    case OID_GEN_MAXIMUM_FRAME_SIZE:
      if (length < sizeof size) return;
      RtlCopyMemory(&size, buffer, sizeof size);
      if (size > 1500) size = 1500;
      WriteUShortNoFence(&module->Mtu, size);
      size = USHORT(LowerReportedSize(size, MIN_LOWERED_MTU));
      RtlCopyMemory(buffer, &size, sizeof size);
      break;
    case OID_GEN_MAXIMUM_TOTAL_SIZE:
      if (length < sizeof size) return;
      RtlCopyMemory(&size, buffer, sizeof size);
      if (size > 1514) size = 1514;
      size = USHORT(LowerReportedSize(size, MIN_LOWERED_TOTAL_SIZE));
      RtlCopyMemory(buffer, &size, sizeof size);
      break;
    case OID_802_3_CURRENT_ADDRESS:
      if (length < 6) return;
      for (int i = 0; i < 6; ++i) WriteUCharNoFence(&module->CurrentMacAddress[i], buffer[i]);
      break;
    default:
      break;
  }
}

void ReleaseOwnOidRequests(FilterModule* module) {
  for (;;) {
    OwnOidRequest* own = nullptr;
    AcquireKernelLock(&module->OwnRequestLock);
    if (!IsListEmpty(&module->OwnRequests)) {
      own = CONTAINING_RECORD(RemoveHeadList(&module->OwnRequests), OwnOidRequest, Link);
    }
    ReleaseKernelLock(&module->OwnRequestLock);
    if (own == nullptr) return;
    // The adapter will never answer; a client still waiting learns so instead
    // of waiting for ever.
    FinishClientRequest(own, NDIS_STATUS_REQUEST_ABORTED);
    ExFreePoolWithTag(own, TAG_DRIVER);
  }
}

}  // namespace zl::driver
