// NDIS functions of the host: filter and device registration, module attributes,
// NBL pools, the send/indicate/complete/return calls and OID requests, each
// handed to the adapter the filter handle names.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host_internals.h"
#include "zl/ndishost/kernel_host.h"

namespace zl::ndishost {

bool IsDriverPool(NDIS_HANDLE poolHandle) {
  return poolHandle != nullptr && poolHandle != &kStackPoolSentinel && poolHandle != &kMiniportPoolSentinel;
}

struct HostAccess {
  static std::u16string Copy(const NDIS_STRING& text) {
    if (text.Buffer == nullptr) return {};
    return std::u16string(text.Buffer, text.Length / sizeof(WCHAR));
  }

  static NDIS_STATUS Register(KernelHost& host, PDRIVER_OBJECT driverObject, NDIS_HANDLE context,
                              PNDIS_FILTER_DRIVER_CHARACTERISTICS characteristics, PNDIS_HANDLE handle) {
    if (host.failRegistration_ != NDIS_STATUS_SUCCESS) {
      const NDIS_STATUS status = host.failRegistration_;
      host.failRegistration_ = NDIS_STATUS_SUCCESS;
      return status;
    }
    if (host.filterRegistered_) {
      host.RecordViolation("filter registered twice");
      return NDIS_STATUS_FAILURE;
    }
    if (driverObject != host.DriverObject()) host.RecordViolation("filter registered with a foreign driver object");
    const NDIS_OBJECT_HEADER& header = characteristics->Header;
    if (header.Type != NDIS_OBJECT_TYPE_FILTER_DRIVER_CHARACTERISTICS ||
        header.Revision != NDIS_FILTER_CHARACTERISTICS_REVISION_2 ||
        header.Size < NDIS_SIZEOF_FILTER_DRIVER_CHARACTERISTICS_REVISION_2) {
      return NDIS_STATUS_FAILURE;
    }
    if (characteristics->AttachHandler == nullptr || characteristics->DetachHandler == nullptr ||
        characteristics->RestartHandler == nullptr || characteristics->PauseHandler == nullptr) {
      return NDIS_STATUS_FAILURE;
    }
    host.characteristics_ = *characteristics;
    host.friendlyName_ = Copy(characteristics->FriendlyName);
    host.uniqueName_ = Copy(characteristics->UniqueName);
    host.serviceName_ = Copy(characteristics->ServiceName);
    host.filterDriverContext_ = context;
    host.filterRegistered_ = true;
    *handle = host.FilterDriverHandle();
    if (characteristics->SetOptionsHandler != nullptr) {
      host.setOptionsStatus_ = characteristics->SetOptionsHandler(*handle, context);
    }
    if (host.bindDuringRegistration_) {
      host.BindAll();
      if (host.registrationBindHook_) host.registrationBindHook_();
    }
    return NDIS_STATUS_SUCCESS;
  }

  static void Deregister(KernelHost& host, NDIS_HANDLE handle) {
    if (!host.filterRegistered_ || handle != host.FilterDriverHandle()) {
      host.RecordViolation("deregistration of a filter that is not registered");
      return;
    }
    host.UnbindAll();
    host.filterRegistered_ = false;
  }

  static NDIS_STATUS RegisterDevice(KernelHost& host, NDIS_HANDLE handle, PNDIS_DEVICE_OBJECT_ATTRIBUTES attributes,
                                    PDEVICE_OBJECT* deviceObject, PNDIS_HANDLE deviceHandle) {
    if (handle != host.FilterDriverHandle() || !host.filterRegistered_) {
      host.RecordViolation("device registered without a registered filter");
      return NDIS_STATUS_FAILURE;
    }
    if (host.failDeviceRegistration_ != NDIS_STATUS_SUCCESS) {
      const NDIS_STATUS status = host.failDeviceRegistration_;
      host.failDeviceRegistration_ = NDIS_STATUS_SUCCESS;
      return status;
    }
    if (host.device_) return NDIS_STATUS_FAILURE;
    auto device = std::make_unique<DeviceRegistration>();
    device->header = attributes->Header;
    if (attributes->DeviceName != nullptr) device->deviceName = Copy(*attributes->DeviceName);
    if (attributes->SymbolicName != nullptr) device->symbolicName = Copy(*attributes->SymbolicName);
    if (attributes->MajorFunctions != nullptr) {
      std::copy_n(attributes->MajorFunctions, IRP_MJ_MAXIMUM_FUNCTION + 1, device->majorFunctions);
    }
    device->hasSecurityDescriptor = attributes->DefaultSDDLString != nullptr;
    device->hasClassGuid = attributes->DeviceClassGuid != nullptr;
    host.deviceObject_ = std::make_unique<DEVICE_OBJECT>();
    *host.deviceObject_ = DEVICE_OBJECT{};
    host.deviceObject_->DriverObject = host.DriverObject();
    device->deviceObject = host.deviceObject_.get();
    host.device_ = std::move(device);
    *deviceObject = host.deviceObject_.get();
    *deviceHandle = host.deviceObject_.get();
    return NDIS_STATUS_SUCCESS;
  }

  static void DeregisterDevice(KernelHost& host, NDIS_HANDLE deviceHandle) {
    if (!host.device_ || deviceHandle != host.deviceObject_.get()) {
      host.RecordViolation("deregistration of a device that is not registered");
      return;
    }
    host.device_.reset();
    host.deviceObject_.reset();
  }

  static FILTER_SEND_NET_BUFFER_LISTS_COMPLETE* SendComplete(KernelHost& host) {
    return host.characteristics_.SendNetBufferListsCompleteHandler;
  }
};

}  // namespace zl::ndishost

using namespace zl::ndishost;

namespace {

EmulatedAdapter& AdapterOf(NDIS_HANDLE filterHandle) { return *static_cast<EmulatedAdapter*>(filterHandle); }

}  // namespace

extern "C" {

NDIS_STATUS NdisFRegisterFilterDriver(PDRIVER_OBJECT DriverObject, NDIS_HANDLE FilterDriverContext,
                                      PNDIS_FILTER_DRIVER_CHARACTERISTICS FilterDriverCharacteristics,
                                      PNDIS_HANDLE NdisFilterDriverHandle) {
  return HostAccess::Register(KernelHost::Current(), DriverObject, FilterDriverContext, FilterDriverCharacteristics,
                              NdisFilterDriverHandle);
}

VOID NdisFDeregisterFilterDriver(NDIS_HANDLE NdisFilterDriverHandle) {
  HostAccess::Deregister(KernelHost::Current(), NdisFilterDriverHandle);
}

NDIS_STATUS NdisFSetAttributes(NDIS_HANDLE NdisFilterHandle, NDIS_HANDLE FilterModuleContext,
                               PNDIS_FILTER_ATTRIBUTES FilterAttributes) {
  KernelHost& host = KernelHost::Current();
  const NDIS_OBJECT_HEADER& header = FilterAttributes->Header;
  if (header.Type != NDIS_OBJECT_TYPE_FILTER_ATTRIBUTES || header.Revision != NDIS_FILTER_ATTRIBUTES_REVISION_1 ||
      header.Size < NDIS_SIZEOF_FILTER_ATTRIBUTES_REVISION_1 || FilterModuleContext == nullptr) {
    return NDIS_STATUS_INVALID_PARAMETER;
  }
  const NDIS_STATUS failure = host.TakeSetAttributesFailure();
  if (failure != NDIS_STATUS_SUCCESS) return failure;
  AdapterOf(NdisFilterHandle).SetPendingContext(FilterModuleContext);
  return NDIS_STATUS_SUCCESS;
}

NDIS_STATUS NdisRegisterDeviceEx(NDIS_HANDLE NdisObjectHandle, PNDIS_DEVICE_OBJECT_ATTRIBUTES DeviceObjectAttributes,
                                 PDEVICE_OBJECT* pDeviceObject, PNDIS_HANDLE NdisDeviceHandle) {
  return HostAccess::RegisterDevice(KernelHost::Current(), NdisObjectHandle, DeviceObjectAttributes, pDeviceObject,
                                    NdisDeviceHandle);
}

VOID NdisDeregisterDeviceEx(NDIS_HANDLE NdisDeviceHandle) {
  HostAccess::DeregisterDevice(KernelHost::Current(), NdisDeviceHandle);
}

NDIS_HANDLE NdisAllocateNetBufferListPool(NDIS_HANDLE, PNET_BUFFER_LIST_POOL_PARAMETERS Parameters) {
  KernelHost& host = KernelHost::Current();
  const NDIS_OBJECT_HEADER& header = Parameters->Header;
  if (header.Type != NDIS_OBJECT_TYPE_DEFAULT || header.Revision != NET_BUFFER_LIST_POOL_PARAMETERS_REVISION_1 ||
      header.Size < NDIS_SIZEOF_NET_BUFFER_LIST_POOL_PARAMETERS_REVISION_1) {
    return nullptr;
  }
  if (host.NblPoolAllocationFails()) return nullptr;
  void* memory = host.Pools().Allocate(sizeof(HostNblPool), Parameters->PoolTag);
  if (memory == nullptr) return nullptr;
  auto* pool = new (memory) HostNblPool{};
  pool->parameters = *Parameters;
  std::lock_guard lock(host.Inner().mutex);
  host.Inner().pools.insert(pool);
  return pool;
}

VOID NdisFreeNetBufferListPool(NDIS_HANDLE PoolHandle) {
  KernelHost& host = KernelHost::Current();
  auto* pool = static_cast<HostNblPool*>(PoolHandle);
  {
    std::lock_guard lock(host.Inner().mutex);
    if (host.Inner().pools.erase(pool) == 0) {
      host.RecordViolation("free of an NBL pool that does not exist");
      return;
    }
  }
  if (pool->outstanding.load() != 0) host.RecordViolation("NBL pool freed with lists still allocated");
  const ULONG tag = pool->parameters.PoolTag;
  pool->~HostNblPool();
  host.Pools().Free(pool, tag);
}

PNET_BUFFER_LIST NdisAllocateNetBufferList(NDIS_HANDLE PoolHandle, USHORT, USHORT) {
  KernelHost& host = KernelHost::Current();
  auto* pool = static_cast<HostNblPool*>(PoolHandle);
  if (host.NblAllocationFails()) return nullptr;
  const ULONG dataSize = pool->parameters.DataSize;
  void* memory = host.Pools().Allocate(sizeof(PooledNbl) + dataSize, pool->parameters.PoolTag);
  if (memory == nullptr) return nullptr;
  auto* block = static_cast<PooledNbl*>(memory);
  std::memset(block, 0, sizeof(PooledNbl));
  PUCHAR data = reinterpret_cast<PUCHAR>(block + 1);
  block->list.NdisPoolHandle = pool;
  if (pool->parameters.fAllocateNetBuffer) {
    block->list.FirstNetBuffer = &block->buffer;
    block->buffer.NdisPoolHandle = pool;
    if (dataSize != 0) {
      block->descriptor.StartVa = data;
      block->descriptor.MappedSystemVa = data;
      block->descriptor.ByteCount = dataSize;
      block->descriptor.MdlFlags = MDL_SOURCE_IS_NONPAGED_POOL;
      block->buffer.MdlChain = block->buffer.CurrentMdl = &block->descriptor;
      block->buffer.DataLength = dataSize;
    }
  }
  pool->outstanding.fetch_add(1);
  return &block->list;
}

VOID NdisFreeNetBufferList(PNET_BUFFER_LIST NetBufferList) {
  KernelHost& host = KernelHost::Current();
  auto* pool = static_cast<HostNblPool*>(NetBufferList->NdisPoolHandle);
  if (!IsDriverPool(pool)) {
    host.RecordViolation("NdisFreeNetBufferList on a list the driver does not own");
    return;
  }
  pool->outstanding.fetch_sub(1);
  host.Pools().Free(reinterpret_cast<PooledNbl*>(NetBufferList), pool->parameters.PoolTag);
}

VOID NdisFSendNetBufferLists(NDIS_HANDLE NdisFilterHandle, PNET_BUFFER_LIST NetBufferLists, NDIS_PORT_NUMBER PortNumber,
                             ULONG SendFlags) {
  AdapterOf(NdisFilterHandle).MiniportSend(NetBufferLists, PortNumber, SendFlags);
}

VOID NdisFSendNetBufferListsComplete(NDIS_HANDLE NdisFilterHandle, PNET_BUFFER_LIST NetBufferLists,
                                     ULONG SendCompleteFlags) {
  AdapterOf(NdisFilterHandle).StackCompleteSends(NetBufferLists, SendCompleteFlags);
}

VOID NdisFIndicateReceiveNetBufferLists(NDIS_HANDLE NdisFilterHandle, PNET_BUFFER_LIST NetBufferLists,
                                        NDIS_PORT_NUMBER PortNumber, ULONG NumberOfNetBufferLists, ULONG ReceiveFlags) {
  AdapterOf(NdisFilterHandle).StackIndicate(NetBufferLists, PortNumber, NumberOfNetBufferLists, ReceiveFlags);
}

VOID NdisFReturnNetBufferLists(NDIS_HANDLE NdisFilterHandle, PNET_BUFFER_LIST NetBufferLists, ULONG ReturnFlags) {
  AdapterOf(NdisFilterHandle).MiniportReturn(NetBufferLists, ReturnFlags);
}

VOID NdisFCancelSendNetBufferLists(NDIS_HANDLE NdisFilterHandle, PVOID CancelId) {
  AdapterOf(NdisFilterHandle).ForwardedCancel(CancelId);
}

NDIS_STATUS NdisFOidRequest(NDIS_HANDLE NdisFilterHandle, PNDIS_OID_REQUEST OidRequest) {
  return AdapterOf(NdisFilterHandle).MiniportOidRequest(OidRequest);
}

NDIS_STATUS NdisAllocateCloneOidRequest(NDIS_HANDLE, PNDIS_OID_REQUEST OidRequest, UINT PoolTag,
                                        PNDIS_OID_REQUEST* CloneOidRequest) {
  void* memory = KernelHost::Current().Pools().Allocate(sizeof(NDIS_OID_REQUEST), PoolTag);
  if (memory == nullptr) return NDIS_STATUS_RESOURCES;
  auto* clone = static_cast<PNDIS_OID_REQUEST>(memory);
  std::memcpy(clone, OidRequest, sizeof(NDIS_OID_REQUEST));
  std::memset(clone->NdisReserved, 0, sizeof clone->NdisReserved);
  std::memset(clone->MiniportReserved, 0, sizeof clone->MiniportReserved);
  std::memset(clone->SourceReserved, 0, sizeof clone->SourceReserved);
  *CloneOidRequest = clone;
  return NDIS_STATUS_SUCCESS;
}

VOID NdisFreeCloneOidRequest(NDIS_HANDLE, PNDIS_OID_REQUEST Request) { KernelHost::Current().Pools().Free(Request, 0); }

VOID NdisFOidRequestComplete(NDIS_HANDLE NdisFilterHandle, PNDIS_OID_REQUEST OidRequest, NDIS_STATUS Status) {
  AdapterOf(NdisFilterHandle).StackOidRequestComplete(OidRequest, Status);
}

VOID NdisFCancelOidRequest(NDIS_HANDLE NdisFilterHandle, PVOID RequestId) {
  AdapterOf(NdisFilterHandle).MiniportCancelOidRequest(RequestId);
}

VOID NdisFIndicateStatus(NDIS_HANDLE NdisFilterHandle, PNDIS_STATUS_INDICATION StatusIndication) {
  AdapterOf(NdisFilterHandle).StackStatus(StatusIndication);
}

VOID NdisFDevicePnPEventNotify(NDIS_HANDLE NdisFilterHandle, PNET_DEVICE_PNP_EVENT NetDevicePnPEvent) {
  AdapterOf(NdisFilterHandle).ForwardedDevicePnP(NetDevicePnPEvent);
}

NDIS_STATUS NdisFNetPnPEvent(NDIS_HANDLE NdisFilterHandle, PNET_PNP_EVENT_NOTIFICATION NetPnPEventNotification) {
  return AdapterOf(NdisFilterHandle).ForwardedNetPnP(NetPnPEventNotification);
}

}  // extern "C"
