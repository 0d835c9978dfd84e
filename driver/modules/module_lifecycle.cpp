#include "driver/entry/driver_events.h"
#include "driver/entry/driver_state.h"
#include "driver/entry/pool_tags.h"
#include "driver/modules/module_handlers.h"
#include "driver/modules/module_list.h"
#include "driver/modules/own_oid_request.h"
#include "driver/modules/ras_link.h"

namespace zl::driver {
namespace {

// 30 ms, relative, in 100 ns units.
constexpr LONGLONG DRAIN_WAIT = -300000;

void WaitUntilZero(volatile LONG* counter) {
  LARGE_INTEGER interval;
  interval.QuadPart = DRAIN_WAIT;
  while (InterlockedCompareExchange(counter, 0, 0) > 0) KeDelayExecutionThread(KernelMode, FALSE, &interval);
}

// Switches the adapter's checksum and large-send offloads off: every frame is
// copied by the driver and must be complete when it is.
void RequestOffloadsOff(FilterModule* module) {
  auto* parameters = reinterpret_cast<PNDIS_OFFLOAD_PARAMETERS>(module->OffloadParameters);
  RtlZeroMemory(module->OffloadParameters, OFFLOAD_PARAMETERS_SIZE);
  parameters->Header.Type = NDIS_OBJECT_TYPE_DEFAULT;
  parameters->Header.Revision = NDIS_OFFLOAD_PARAMETERS_REVISION_1;
  parameters->Header.Size = NDIS_SIZEOF_OFFLOAD_PARAMETERS_REVISION_1;
  parameters->IPv4Checksum = NDIS_OFFLOAD_PARAMETERS_TX_RX_DISABLED;
  parameters->TCPIPv4Checksum = NDIS_OFFLOAD_PARAMETERS_TX_RX_DISABLED;
  parameters->UDPIPv4Checksum = NDIS_OFFLOAD_PARAMETERS_TX_RX_DISABLED;
  parameters->TCPIPv6Checksum = NDIS_OFFLOAD_PARAMETERS_TX_RX_DISABLED;
  parameters->UDPIPv6Checksum = NDIS_OFFLOAD_PARAMETERS_TX_RX_DISABLED;
  parameters->LsoV1 = NDIS_OFFLOAD_PARAMETERS_LSOV1_DISABLED;
  parameters->IPsecV1 = NDIS_OFFLOAD_PARAMETERS_IPSECV1_DISABLED;
  parameters->LsoV2IPv4 = NDIS_OFFLOAD_PARAMETERS_LSOV2_DISABLED;
  parameters->LsoV2IPv6 = NDIS_OFFLOAD_PARAMETERS_LSOV2_DISABLED;
  parameters->TcpConnectionIPv4 = NDIS_OFFLOAD_PARAMETERS_NO_CHANGE;
  parameters->TcpConnectionIPv6 = NDIS_OFFLOAD_PARAMETERS_NO_CHANGE;
  parameters->Flags = 0;
  // The result is not waited for: a refusal leaves the offloads as they were.
  IssueOwnOidRequest(module, nullptr, NdisRequestSetInformation, OID_TCP_OFFLOAD_PARAMETERS,
                     module->OffloadParameters, OFFLOAD_PARAMETERS_SIZE, 0);
}

}  // namespace

NDIS_STATUS FilterAttach(NDIS_HANDLE ndisFilterHandle, NDIS_HANDLE filterDriverContext,
                         PNDIS_FILTER_ATTACH_PARAMETERS attachParameters) {
  if (filterDriverContext != static_cast<NDIS_HANDLE>(Driver.DriverContext)) return STATUS_INVALID_PARAMETER;

  const USHORT nameBytes = attachParameters->BaseMiniportName->Length;
  auto* module = static_cast<FilterModule*>(NdisAllocateMemoryWithTagPriority(
      ndisFilterHandle, UINT(sizeof(FilterModule) + nameBytes), TAG_FILTER_MODULE, LowPoolPriority));
  if (module == nullptr) return NDIS_STATUS_RESOURCES;

  RtlZeroMemory(module, sizeof(FilterModule));
  module->Medium = attachParameters->MiniportMediaType;

  module->MiniportName.Buffer = reinterpret_cast<PWCH>(module + 1);
  RtlCopyMemory(module->MiniportName.Buffer, attachParameters->BaseMiniportName->Buffer, nameBytes);
  module->MiniportName.Length = nameBytes;
  module->MiniportName.MaximumLength = nameBytes;

  // At most 255 characters and a NUL; the rest of the 256 bytes stays zero.
  ANSI_STRING adapterName;
  adapterName.Buffer = module->AdapterName;
  adapterName.Length = 0;
  adapterName.MaximumLength = ADAPTER_NAME_SIZE;
  RtlUnicodeStringToAnsiString(&adapterName, &module->MiniportName, FALSE);

  InitializeKernelLock(&module->StateLock);
  InitializeKernelLock(&module->OwnRequestLock);
  InitializeListHead(&module->OwnRequests);
  InitializeKernelLock(&module->RasLinkLock);
  InitializeListHead(&module->RasLinks);

  ULONG addressLength = attachParameters->MacAddressLength;
  if (addressLength > 6) addressLength = 6;
  UCHAR* address = module->Medium == NdisMedium802_3 ? module->CurrentMacAddress : module->WanLocalAddress;
  RtlCopyMemory(address, attachParameters->CurrentMacAddress, addressLength);

  module->FilterHandle = ndisFilterHandle;

  NDIS_FILTER_ATTRIBUTES attributes;
  RtlZeroMemory(&attributes, sizeof attributes);
  attributes.Header.Type = NDIS_OBJECT_TYPE_FILTER_ATTRIBUTES;
  attributes.Header.Revision = NDIS_FILTER_ATTRIBUTES_REVISION_1;
  attributes.Header.Size = NDIS_SIZEOF_FILTER_ATTRIBUTES_REVISION_1;
  attributes.Flags = 0;
  const NDIS_STATUS status = NdisFSetAttributes(ndisFilterHandle, module, &attributes);
  if (status != NDIS_STATUS_SUCCESS) {
    NdisFreeMemory(module, 0, 0);
    return status;
  }

  InterlockedExchange(&module->State, MODULE_PAUSED);
  InitializePacketQueue(&module->Queue, Driver.StartupMode);
  InsertModule(module);
  SignalAdapterListChange();
  return NDIS_STATUS_SUCCESS;
}

NDIS_STATUS FilterPause(NDIS_HANDLE filterModuleContext, PNDIS_FILTER_PAUSE_PARAMETERS) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  InterlockedExchange(&module->State, MODULE_PAUSED);
  WaitUntilZero(&module->OutstandingSends);
  WaitUntilZero(&module->OutstandingIndications);
  return NDIS_STATUS_SUCCESS;
}

NDIS_STATUS FilterRestart(NDIS_HANDLE filterModuleContext, PNDIS_FILTER_RESTART_PARAMETERS restartParameters) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  PNDIS_RESTART_ATTRIBUTES attribute = restartParameters->RestartAttributes;
  if (attribute != nullptr && attribute->DataLength >= sizeof(NDIS_RESTART_GENERAL_ATTRIBUTES)) {
    auto* general = reinterpret_cast<PNDIS_RESTART_GENERAL_ATTRIBUTES>(attribute->Data);
    if (general->MtuSize > 1500) general->MtuSize = 1500;
    WriteUShortNoFence(&module->Mtu, USHORT(general->MtuSize));
    general->LookaheadSize = 128;
    general->MtuSize = LowerReportedSize(general->MtuSize, MIN_LOWERED_MTU);
    RequestOffloadsOff(module);
  }
  InterlockedExchange(&module->State, MODULE_RUNNING);
  return NDIS_STATUS_SUCCESS;
}

void FilterDetach(NDIS_HANDLE filterModuleContext) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  UnlinkModule(module);
  // A control request that found the module before it left the list may still
  // use it; the record stays until that request has finished.
  WaitUntilZero(&module->References);
  ResetAdapterQueue(&module->Queue);
  ReleaseOwnOidRequests(module);
  ReleaseRasLinks(module);
  NdisFreeMemory(module, 0, 0);
  SignalAdapterListChange();
}

void FilterDevicePnPEventNotify(NDIS_HANDLE filterModuleContext, PNET_DEVICE_PNP_EVENT netDevicePnPEvent) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  NdisFDevicePnPEventNotify(module->FilterHandle, netDevicePnPEvent);
}

NDIS_STATUS FilterNetPnPEvent(NDIS_HANDLE filterModuleContext, PNET_PNP_EVENT_NOTIFICATION netPnPEventNotification) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  return NdisFNetPnPEvent(module->FilterHandle, netPnPEventNotification);
}

}  // namespace zl::driver
