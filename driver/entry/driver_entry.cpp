// Start and unload of the driver: the record pool, the two registry parameters,
// the filter registration, the NBL pool and the control device.
#include "driver/control/control_device.h"
#include "driver/datapath/datapath_handlers.h"
#include "driver/datapath/packet_queue.h"
#include "driver/datapath/packet_record.h"
#include "driver/datapath/record_pool.h"
#include "driver/entry/driver_events.h"
#include "driver/entry/driver_state.h"
#include "driver/entry/pool_tags.h"
#include "driver/filtertable/filter_table.h"
#include "driver/modules/module_handlers.h"
#include "driver/modules/module_list.h"
#include "driver/modules/oid_handlers.h"

// The kernel's wide strings are UTF-16: wchar_t with the Windows Driver Kit,
// char16_t in the kernel host.
#ifdef _WIN32
#define VX_WIDE(text) L##text
#else
#define VX_WIDE(text) u##text
#endif

namespace zl::driver {

DriverState Driver;

namespace {

NTSTATUS QueryParameter(PWSTR, ULONG valueType, PVOID valueData, ULONG valueLength, PVOID, PVOID entryContext) {
  if (valueType == REG_DWORD && valueData != nullptr && valueLength >= sizeof(ULONG)) {
    RtlCopyMemory(entryContext, valueData, sizeof(ULONG));
  }
  return STATUS_SUCCESS;
}

// MTUDecrement and StartupMode under "Parameters" of the service key; anything
// missing or of another type leaves the parameter at 0.
void ReadParameters() {
  static ULONG zero = 0;
  RTL_QUERY_REGISTRY_TABLE table[4];
  RtlZeroMemory(table, sizeof table);
  table[0].Flags = RTL_QUERY_REGISTRY_SUBKEY;
  table[0].Name = const_cast<PWSTR>(VX_WIDE("Parameters"));
  table[1].QueryRoutine = QueryParameter;
  table[1].Flags = RTL_QUERY_REGISTRY_NOEXPAND;
  table[1].Name = const_cast<PWSTR>(VX_WIDE("MTUDecrement"));
  table[1].EntryContext = &Driver.MTUDecrement;
  table[1].DefaultType = REG_DWORD;
  table[1].DefaultData = &zero;
  table[1].DefaultLength = sizeof(ULONG);
  table[2].QueryRoutine = QueryParameter;
  table[2].Flags = RTL_QUERY_REGISTRY_NOEXPAND;
  table[2].Name = const_cast<PWSTR>(VX_WIDE("StartupMode"));
  table[2].EntryContext = &Driver.StartupMode;
  table[2].DefaultType = REG_DWORD;
  table[2].DefaultData = &zero;
  table[2].DefaultLength = sizeof(ULONG);
  RtlQueryRegistryValues(RTL_REGISTRY_SERVICES, VX_WIDE("VORLANEX"), table, nullptr, nullptr);
}

NDIS_STATUS FilterSetOptions(NDIS_HANDLE ndisDriverHandle, NDIS_HANDLE driverContext) {
  if (ndisDriverHandle != Driver.FilterDriverHandle || driverContext != static_cast<NDIS_HANDLE>(Driver.DriverContext)) {
    return STATUS_INVALID_PARAMETER;
  }
  return NDIS_STATUS_SUCCESS;
}

NDIS_STATUS FilterSetModuleOptions(NDIS_HANDLE) { return NDIS_STATUS_SUCCESS; }

void FillCharacteristics(NDIS_FILTER_DRIVER_CHARACTERISTICS* characteristics) {
  static UNICODE_STRING friendlyName;
  static UNICODE_STRING uniqueName;
  static UNICODE_STRING serviceName;
  RtlInitUnicodeString(&friendlyName, VX_WIDE("Velmora HotSpot LightWeight Filter"));
  RtlInitUnicodeString(&uniqueName, VX_WIDE("{5cbf81bd-5055-47cd-9055-a76b2b4e3697}"));
  RtlInitUnicodeString(&serviceName, VX_WIDE("VORLANEX"));

  RtlZeroMemory(characteristics, sizeof *characteristics);
  characteristics->Header.Type = NDIS_OBJECT_TYPE_FILTER_DRIVER_CHARACTERISTICS;
  characteristics->Header.Revision = NDIS_FILTER_CHARACTERISTICS_REVISION_2;
  characteristics->Header.Size = NDIS_SIZEOF_FILTER_DRIVER_CHARACTERISTICS_REVISION_2;
  characteristics->MajorNdisVersion = 6;
  characteristics->MinorNdisVersion = 1;
  characteristics->MajorDriverVersion = 1;
  characteristics->MinorDriverVersion = 0;
  characteristics->Flags = 0;
  characteristics->FriendlyName = friendlyName;
  characteristics->UniqueName = uniqueName;
  characteristics->ServiceName = serviceName;
  characteristics->SetOptionsHandler = FilterSetOptions;
  characteristics->SetFilterModuleOptionsHandler = FilterSetModuleOptions;
  characteristics->AttachHandler = FilterAttach;
  characteristics->DetachHandler = FilterDetach;
  characteristics->RestartHandler = FilterRestart;
  characteristics->PauseHandler = FilterPause;
  characteristics->SendNetBufferListsHandler = FilterSendNetBufferLists;
  characteristics->SendNetBufferListsCompleteHandler = FilterSendNetBufferListsComplete;
  characteristics->CancelSendNetBufferListsHandler = FilterCancelSendNetBufferLists;
  characteristics->ReceiveNetBufferListsHandler = FilterReceiveNetBufferLists;
  characteristics->ReturnNetBufferListsHandler = FilterReturnNetBufferLists;
  characteristics->OidRequestHandler = FilterOidRequest;
  characteristics->OidRequestCompleteHandler = FilterOidRequestComplete;
  characteristics->CancelOidRequestHandler = FilterCancelOidRequest;
  characteristics->DevicePnPEventNotifyHandler = FilterDevicePnPEventNotify;
  characteristics->NetPnPEventHandler = FilterNetPnPEvent;
  characteristics->StatusHandler = FilterStatus;
}

NDIS_HANDLE AllocateNblPool() {
  NET_BUFFER_LIST_POOL_PARAMETERS parameters;
  RtlZeroMemory(&parameters, sizeof parameters);
  parameters.Header.Type = NDIS_OBJECT_TYPE_DEFAULT;
  parameters.Header.Revision = NET_BUFFER_LIST_POOL_PARAMETERS_REVISION_1;
  parameters.Header.Size = NDIS_SIZEOF_NET_BUFFER_LIST_POOL_PARAMETERS_REVISION_1;
  parameters.ProtocolId = NDIS_PROTOCOL_ID_DEFAULT;
  parameters.fAllocateNetBuffer = TRUE;
  parameters.ContextSize = 0;
  parameters.PoolTag = TAG_DRIVER;
  parameters.DataSize = MAX_FRAME_SIZE;
  return NdisAllocateNetBufferListPool(Driver.FilterDriverHandle, &parameters);
}

NDIS_STATUS RegisterControlDevice() {
  static UNICODE_STRING deviceName;
  static UNICODE_STRING symbolicName;
  RtlInitUnicodeString(&deviceName, VX_WIDE("\\Device\\VORLANEX"));
  RtlInitUnicodeString(&symbolicName, VX_WIDE("\\DosDevices\\VORLANEX"));

  PDRIVER_DISPATCH dispatch[IRP_MJ_MAXIMUM_FUNCTION + 1];
  RtlZeroMemory(dispatch, sizeof dispatch);
  dispatch[IRP_MJ_CREATE] = VorlanexOpenClose;
  dispatch[IRP_MJ_CLOSE] = VorlanexOpenClose;
  dispatch[IRP_MJ_CLEANUP] = VorlanexOpenClose;
  dispatch[IRP_MJ_DEVICE_CONTROL] = VorlanexControl;
  dispatch[IRP_MJ_INTERNAL_DEVICE_CONTROL] = VorlanexControl;

  NDIS_DEVICE_OBJECT_ATTRIBUTES attributes;
  RtlZeroMemory(&attributes, sizeof attributes);
  attributes.Header.Type = NDIS_OBJECT_TYPE_DEVICE_OBJECT_ATTRIBUTES;
  attributes.Header.Revision = NDIS_DEVICE_OBJECT_ATTRIBUTES_REVISION_1;
  attributes.Header.Size = NDIS_SIZEOF_DEVICE_OBJECT_ATTRIBUTES_REVISION_1;
  attributes.DeviceName = &deviceName;
  attributes.SymbolicName = &symbolicName;
  attributes.MajorFunctions = dispatch;
  attributes.ExtensionSize = 0;
  attributes.DefaultSDDLString = nullptr;
  attributes.DeviceClassGuid = nullptr;
  return NdisRegisterDeviceEx(Driver.FilterDriverHandle, &attributes, &Driver.ControlDevice, &Driver.DeviceHandle);
}

void FreeNblPool() {
  NDIS_HANDLE pool = CurrentNblPool();
  if (pool == nullptr) return;
  WritePointerNoFence(&Driver.NblPool, nullptr);
  NdisFreeNetBufferListPool(pool);
}

}  // namespace

}  // namespace zl::driver

using namespace zl::driver;

NTSTATUS DriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING) {
  RtlZeroMemory(&Driver, sizeof Driver);
  InitializeFilterTable();
  InitializeDriverEvents();
  if (!NT_SUCCESS(FillRecordPool())) {
    EmptyRecordPool();
    return STATUS_UNSUCCESSFUL;
  }
  ReadParameters();

  NDIS_FILTER_DRIVER_CHARACTERISTICS characteristics;
  FillCharacteristics(&characteristics);

  // Everything a module needs is ready before registration, since NDIS may
  // attach modules before the call returns.
  driverObject->DriverUnload = DriverUnload;
  Driver.DriverContext = driverObject;
  InitializeModuleList();
  Driver.FilterDriverHandle = nullptr;

  NDIS_STATUS status =
      NdisFRegisterFilterDriver(driverObject, driverObject, &characteristics, &Driver.FilterDriverHandle);
  if (status != NDIS_STATUS_SUCCESS) {
    EmptyRecordPool();
    return status;
  }

  // Without the pool nothing could ever be re-injected: start fails and the
  // registration is withdrawn.
  NDIS_HANDLE pool = AllocateNblPool();
  if (pool == nullptr) {
    NdisFDeregisterFilterDriver(Driver.FilterDriverHandle);
    EmptyRecordPool();
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  WritePointerNoFence(&Driver.NblPool, pool);

  status = RegisterControlDevice();
  if (status != NDIS_STATUS_SUCCESS) {
    Driver.DeviceHandle = nullptr;
    NdisFDeregisterFilterDriver(Driver.FilterDriverHandle);
    FreeNblPool();
    EmptyRecordPool();
    return status;
  }
  return STATUS_SUCCESS;
}

VOID DriverUnload(PDRIVER_OBJECT) {
  if (Driver.DeviceHandle != nullptr) {
    NdisDeregisterDeviceEx(Driver.DeviceHandle);
    Driver.DeviceHandle = nullptr;
  }
  // Pauses and detaches every module first; each detach gives its queued
  // records back to the pool.
  NdisFDeregisterFilterDriver(Driver.FilterDriverHandle);
  FreeNblPool();
  EmptyRecordPool();
  ResetAllAdapters();
  RemoveFilterTable();
  ReleaseDriverEvents();
}
