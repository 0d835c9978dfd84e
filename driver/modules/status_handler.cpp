// The status handler: every indication goes up unchanged except the WAN
// line-up's maximum total size; WAN and wireless-WAN link changes update the
// module's WAN local address and link list and signal WanEvent.
#include "driver/entry/driver_events.h"
#include "driver/modules/filter_module.h"
#include "driver/modules/oid_handlers.h"
#include "driver/modules/own_oid_request.h"
#include "driver/modules/ras_link.h"

namespace zl::driver {
namespace {

// The wireless-WAN context-state indication: status, connection identifier and
// activation state at these byte offsets.
constexpr ULONG WWAN_STATUS_OFFSET = 4;
constexpr ULONG WWAN_CONNECTION_ID_OFFSET = 12;
constexpr ULONG WWAN_ACTIVATION_STATE_OFFSET = 16;
constexpr ULONG WWAN_CONTEXT_STATE_MINIMUM_SIZE = 20;
constexpr ULONG WWAN_ACTIVATED = 1;
constexpr ULONG WWAN_DEACTIVATED = 3;

// The address fields are read by FillAdapterList without a lock, byte by byte.
void SetWanLocalAddress(FilterModule* module, const UCHAR* address) {
  for (int i = 0; i < 6; ++i) WriteUCharNoFence(&module->WanLocalAddress[i], address[i]);
}

void ClearWanLocalAddress(FilterModule* module) {
  const UCHAR zero[6] = {};
  SetWanLocalAddress(module, zero);
}

ULONG BufferU32(const NDIS_STATUS_INDICATION* indication, ULONG offset) {
  ULONG value;
  RtlCopyMemory(&value, static_cast<const UCHAR*>(indication->StatusBuffer) + offset, sizeof value);
  return value;
}

bool BufferHolds(const NDIS_STATUS_INDICATION* indication, ULONG size) {
  return indication->StatusBuffer != nullptr && indication->StatusBufferSize >= size;
}

void PassUp(FilterModule* module, PNDIS_STATUS_INDICATION indication) {
  NdisFIndicateStatus(module->FilterHandle, indication);
}

void HandleLineUp(FilterModule* module, PNDIS_STATUS_INDICATION indication) {
  auto* lineUp = static_cast<PNDIS_WAN_LINE_UP>(indication->StatusBuffer);
  WriteUShortNoFence(&module->Mtu, USHORT(lineUp->MaximumTotalSize));
  lineUp->MaximumTotalSize = LowerReportedSize(lineUp->MaximumTotalSize, MIN_LOWERED_MTU);
  SignalWanEvent();
  PassUp(module, indication);
  // The protocols fill in the local address while they handle the indication.
  SetWanLocalAddress(module, lineUp->LocalAddress);
  AddRasLink(module, lineUp);
}

void HandleLineDown(FilterModule* module, PNDIS_STATUS_INDICATION indication) {
  ClearWanLocalAddress(module);
  RemoveRasLink(module, static_cast<PNDIS_WAN_LINE_DOWN>(indication->StatusBuffer));
  SignalWanEvent();
  PassUp(module, indication);
}

void HandleContextState(FilterModule* module, PNDIS_STATUS_INDICATION indication) {
  const ULONG status = BufferU32(indication, WWAN_STATUS_OFFSET);
  const ULONG activation = BufferU32(indication, WWAN_ACTIVATION_STATE_OFFSET);
  if (activation == WWAN_ACTIVATED) {
    SignalWanEvent();
    PassUp(module, indication);
    if (status == 0) {
      // The connection identifier takes the last four bytes of the address.
      const ULONG connection = BufferU32(indication, WWAN_CONNECTION_ID_OFFSET);
      UCHAR address[6];
      for (int i = 0; i < 6; ++i) address[i] = ReadUCharNoFence(&module->WanLocalAddress[i]);
      RtlCopyMemory(address + 2, &connection, sizeof connection);
      SetWanLocalAddress(module, address);
      SignalWanEvent();
    }
    return;
  }
  if (activation == WWAN_DEACTIVATED && status == 0) {
    ClearWanLocalAddress(module);
    SignalWanEvent();
  }
  PassUp(module, indication);
}

}  // namespace

void FilterStatus(NDIS_HANDLE filterModuleContext, PNDIS_STATUS_INDICATION indication) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  // An indication too short for what it announces goes up untouched.
  switch (indication->StatusCode) {
    case NDIS_STATUS_WAN_LINE_UP:
      if (BufferHolds(indication, sizeof(NDIS_WAN_LINE_UP))) return HandleLineUp(module, indication);
      break;
    case NDIS_STATUS_WAN_LINE_DOWN:
      if (BufferHolds(indication, sizeof(NDIS_WAN_LINE_DOWN))) return HandleLineDown(module, indication);
      break;
    case NDIS_STATUS_WWAN_CONTEXT_STATE:
      if (BufferHolds(indication, WWAN_CONTEXT_STATE_MINIMUM_SIZE)) return HandleContextState(module, indication);
      break;
    default:
      break;
  }
  PassUp(module, indication);
}

}  // namespace zl::driver
