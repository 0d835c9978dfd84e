#include "driver/modules/oid_handlers.h"

#include "driver/entry/pool_tags.h"
#include "driver/modules/filter_module.h"
#include "driver/modules/own_oid_request.h"

namespace zl::driver {
namespace {

// The protocols' request a clone carries, kept in the clone's first
// source-reserved slot; the driver's own requests leave it empty.
PNDIS_OID_REQUEST OriginalOf(PNDIS_OID_REQUEST clone) {
  PNDIS_OID_REQUEST original;
  RtlCopyMemory(&original, clone->SourceReserved, sizeof original);
  return original;
}

void SetOriginal(PNDIS_OID_REQUEST clone, PNDIS_OID_REQUEST original) {
  RtlCopyMemory(clone->SourceReserved, &original, sizeof original);
}

bool IsTcpOffloadOid(NDIS_OID oid) {
  return oid == OID_TCP_OFFLOAD_CURRENT_CONFIG || oid == OID_TCP_OFFLOAD_PARAMETERS ||
         oid == OID_TCP_OFFLOAD_HARDWARE_CAPABILITIES;
}

void ZeroByteCounts(PNDIS_OID_REQUEST request) {
  if (request->RequestType == NdisRequestMethod) {
    request->DATA.METHOD_INFORMATION.BytesWritten = 0;
    request->DATA.METHOD_INFORMATION.BytesRead = 0;
    request->DATA.METHOD_INFORMATION.BytesNeeded = 0;
  } else {
    request->DATA.QUERY_INFORMATION.BytesWritten = 0;
    request->DATA.QUERY_INFORMATION.BytesNeeded = 0;
  }
}

void CopyByteCounts(PNDIS_OID_REQUEST to, const NDIS_OID_REQUEST* from) {
  // Bytes written or read; for a method request the field holds its output length.
  to->DATA.QUERY_INFORMATION.BytesWritten = from->DATA.QUERY_INFORMATION.BytesWritten;
  switch (from->RequestType) {
    case NdisRequestSetInformation:
      to->DATA.SET_INFORMATION.BytesNeeded = from->DATA.SET_INFORMATION.BytesNeeded;
      break;
    case NdisRequestMethod:
      to->DATA.METHOD_INFORMATION.BytesWritten = from->DATA.METHOD_INFORMATION.BytesWritten;
      to->DATA.METHOD_INFORMATION.BytesRead = from->DATA.METHOD_INFORMATION.BytesRead;
      to->DATA.METHOD_INFORMATION.BytesNeeded = from->DATA.METHOD_INFORMATION.BytesNeeded;
      break;
    default:
      to->DATA.QUERY_INFORMATION.BytesNeeded = from->DATA.QUERY_INFORMATION.BytesNeeded;
      break;
  }
}

}  // namespace

NDIS_STATUS FilterOidRequest(NDIS_HANDLE filterModuleContext, PNDIS_OID_REQUEST request) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  const bool queryOrSet =
      request->RequestType == NdisRequestQueryInformation || request->RequestType == NdisRequestSetInformation;
  // The offloads switched off at restart must stay off: every frame is copied
  // and has to be complete when it is.
  if (queryOrSet && IsTcpOffloadOid(request->DATA.QUERY_INFORMATION.Oid)) {
    ZeroByteCounts(request);
    return NDIS_STATUS_NOT_SUPPORTED;
  }

  PNDIS_OID_REQUEST clone = nullptr;
  const NDIS_STATUS cloned = NdisAllocateCloneOidRequest(module->FilterHandle, request, TAG_CLONED_OID, &clone);
  if (cloned != NDIS_STATUS_SUCCESS) {
    ZeroByteCounts(request);
    return cloned;
  }
  SetOriginal(clone, request);
  clone->RequestId = request->RequestId;
  AcquireKernelLock(&module->StateLock);
  module->PendingClonedRequest = clone;
  ReleaseKernelLock(&module->StateLock);

  const NDIS_STATUS status = NdisFOidRequest(module->FilterHandle, clone);
  if (status != NDIS_STATUS_PENDING) FilterOidRequestComplete(module, clone, status);
  return NDIS_STATUS_PENDING;
}

void FilterOidRequestComplete(NDIS_HANDLE filterModuleContext, PNDIS_OID_REQUEST request, NDIS_STATUS status) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  PNDIS_OID_REQUEST original = OriginalOf(request);
  if (original == nullptr) {
    if (status == NDIS_STATUS_SUCCESS) AdjustOidResult(module, request);
    CompleteOwnOidRequest(module, CONTAINING_RECORD(request, OwnOidRequest, Request), status);
    return;
  }

  AcquireKernelLock(&module->StateLock);
  module->PendingClonedRequest = nullptr;
  ReleaseKernelLock(&module->StateLock);

  CopyByteCounts(original, request);
  // The clone's information buffer is the protocols' own.
  if (status == NDIS_STATUS_SUCCESS) AdjustOidResult(module, request);
  SetOriginal(request, nullptr);
  NdisFreeCloneOidRequest(module->FilterHandle, request);
  NdisFOidRequestComplete(module->FilterHandle, original, status);
}

void FilterCancelOidRequest(NDIS_HANDLE filterModuleContext, PVOID requestId) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  AcquireKernelLock(&module->StateLock);
  PNDIS_OID_REQUEST clone = module->PendingClonedRequest;
  const bool pendingHere = clone != nullptr && OriginalOf(clone)->RequestId == requestId;
  ReleaseKernelLock(&module->StateLock);
  if (pendingHere) NdisFCancelOidRequest(module->FilterHandle, requestId);
}

}  // namespace zl::driver
