// Frames the protocols send down: each is copied into a record and the sender
// gets its list back at once; the copy is then sent, dropped or queued.
#include "driver/datapath/datapath_handlers.h"
#include "driver/datapath/frame_copy.h"
#include "driver/datapath/record_pool.h"
#include "driver/datapath/reinject.h"
#include "driver/entry/driver_state.h"
#include "driver/filtertable/filter_table.h"
#include "driver/modules/filter_module.h"

namespace zl::driver {
namespace {

void HandleOutboundFrame(FilterModule* module, PNET_BUFFER netBuffer, ULONG ieee8021q, USHORT frameType) {
  PacketRecord* record = TakeRecord();
  if (record == nullptr) return;  // pool exhausted: the frame is dropped

  const bool wirelessWan = module->Medium == NdisMediumWirelessWan;
  CopyFrameToRecord(netBuffer, record, wirelessWan);
  if (wirelessWan && record->Length > ETHERNET_HEADER_SIZE) WriteFrameType(record, frameType);
  record->Ieee8021Q = ieee8021q;
  record->Direction = DIRECTION_OUTBOUND;

  const ULONG mode = ReadModeFlags(&module->Queue);
  if ((mode & (MODE_DIVERT_OUTBOUND | MODE_COPY_OUTBOUND)) == 0) {
    SendRecord(module, record);
    ReturnRecord(record);
    return;
  }
  switch (ClassifyRecord(module, record)) {
    case FILTER_ACTION_PASS:
      SendRecord(module, record);
      ReturnRecord(record);
      return;
    case FILTER_ACTION_DROP:
      ReturnRecord(record);
      return;
    default:
      break;
  }
  // Diverted. A copy-only mode still sends the frame, before the record is
  // queued: once queued, the client may take it at any moment.
  if ((mode & MODE_DIVERT_OUTBOUND) == 0) SendRecord(module, record);
  EnqueueRecord(&module->Queue, record);
}

}  // namespace

void FilterSendNetBufferLists(NDIS_HANDLE filterModuleContext, PNET_BUFFER_LIST netBufferLists, NDIS_PORT_NUMBER,
                              ULONG sendFlags) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  const ULONG completeFlags =
      NDIS_TEST_SEND_AT_DISPATCH_LEVEL(sendFlags) ? NDIS_SEND_COMPLETE_FLAGS_DISPATCH_LEVEL : 0;

  if (!ModuleIsRunning(module)) {
    for (PNET_BUFFER_LIST list = netBufferLists; list != nullptr; list = NET_BUFFER_LIST_NEXT_NBL(list)) {
      NET_BUFFER_LIST_STATUS(list) = NDIS_STATUS_PAUSED;
    }
    NdisFSendNetBufferListsComplete(module->FilterHandle, netBufferLists, completeFlags);
    return;
  }

  PNET_BUFFER_LIST list = netBufferLists;
  while (list != nullptr) {
    PNET_BUFFER_LIST next = NET_BUFFER_LIST_NEXT_NBL(list);
    NET_BUFFER_LIST_NEXT_NBL(list) = nullptr;
    const ULONG ieee8021q = ULONG(reinterpret_cast<ULONG_PTR>(NET_BUFFER_LIST_INFO(list, Ieee8021QNetBufferListInfo)));
    const USHORT frameType = USHORT(reinterpret_cast<ULONG_PTR>(NET_BUFFER_LIST_INFO(list, NetBufferListFrameType)));
    for (PNET_BUFFER netBuffer = NET_BUFFER_LIST_FIRST_NB(list); netBuffer != nullptr;
         netBuffer = NET_BUFFER_NEXT_NB(netBuffer)) {
      HandleOutboundFrame(module, netBuffer, ieee8021q, frameType);
    }
    NET_BUFFER_LIST_STATUS(list) = NDIS_STATUS_SUCCESS;
    NdisFSendNetBufferListsComplete(module->FilterHandle, list, completeFlags);
    list = next;
  }
}

void FilterSendNetBufferListsComplete(NDIS_HANDLE filterModuleContext, PNET_BUFFER_LIST netBufferLists,
                                      ULONG sendCompleteFlags) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  NDIS_HANDLE ownPool = CurrentNblPool();
  PNET_BUFFER_LIST list = netBufferLists;
  while (list != nullptr) {
    PNET_BUFFER_LIST next = NET_BUFFER_LIST_NEXT_NBL(list);
    NET_BUFFER_LIST_NEXT_NBL(list) = nullptr;
    if (ownPool != nullptr && list->NdisPoolHandle == ownPool) {
      NdisFreeNetBufferList(list);
      InterlockedDecrement(&module->OutstandingSends);
    } else {
      NdisFSendNetBufferListsComplete(module->FilterHandle, list, sendCompleteFlags);
    }
    list = next;
  }
}

void FilterCancelSendNetBufferLists(NDIS_HANDLE filterModuleContext, PVOID cancelId) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  NdisFCancelSendNetBufferLists(module->FilterHandle, cancelId);
}

}  // namespace zl::driver
