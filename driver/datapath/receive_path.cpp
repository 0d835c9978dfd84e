// Frames the miniport indicates up: each is copied into a record and the
// miniport's list goes back (or, for untouched loopback lists, up); the copy is
// then indicated, dropped or queued.
#include "driver/datapath/datapath_handlers.h"
#include "driver/datapath/frame_copy.h"
#include "driver/datapath/record_pool.h"
#include "driver/datapath/reinject.h"
#include "driver/entry/driver_state.h"
#include "driver/filtertable/filter_table.h"
#include "driver/modules/filter_module.h"

namespace zl::driver {
namespace {

enum class Decision { Pass, Consumed };

// Under MODE_INBOUND_OWN_ADDRESS_ONLY: an individual destination other than the
// adapter's own address is not for this host.
bool AddressedElsewhere(FilterModule* module, const PacketRecord* record) {
  if (record->Length < 6) return true;
  if (record->Frame[0] & 0x01) return false;  // group address
  for (int i = 0; i < 6; ++i) {
    if (record->Frame[i] != ReadUCharNoFence(&module->CurrentMacAddress[i])) return true;
  }
  return false;
}

void HandleInboundRecord(FilterModule* module, PacketRecord* record) {
  record->Direction = DIRECTION_INBOUND;
  const ULONG mode = ReadModeFlags(&module->Queue);
  bool queue = false;
  if (mode & (MODE_DIVERT_INBOUND | MODE_COPY_INBOUND)) {
    switch (ClassifyRecord(module, record)) {
      case FILTER_ACTION_PASS:
        IndicateRecord(module, record);
        ReturnRecord(record);
        return;
      case FILTER_ACTION_DROP:
        ReturnRecord(record);
        return;
      default:
        queue = true;
        break;
    }
  }
  if (queue && (mode & MODE_DIVERT_INBOUND)) {
    EnqueueRecord(&module->Queue, record);
    return;
  }
  if (!((mode & MODE_INBOUND_OWN_ADDRESS_ONLY) && AddressedElsewhere(module, record))) IndicateRecord(module, record);
  // A copy-only mode queues the record after its frame went up: once queued,
  // the client may take it at any moment.
  if (queue) {
    EnqueueRecord(&module->Queue, record);
  } else {
    ReturnRecord(record);
  }
}

Decision ReceiveDecision(FilterModule* module, PNET_BUFFER_LIST list) {
  const bool loopback = NdisTestNblFlag(list, NDIS_NBL_FLAGS_IS_LOOPBACK_PACKET);
  const ULONG mode = ReadModeFlags(&module->Queue);
  if (loopback && (mode & MODE_INBOUND_LOOPBACK) == 0) return Decision::Pass;
  if (NET_BUFFER_LIST_FIRST_NB(list) == nullptr) return Decision::Consumed;

  const bool wirelessWan = module->Medium == NdisMediumWirelessWan;
  const ULONG ieee8021q = ULONG(reinterpret_cast<ULONG_PTR>(NET_BUFFER_LIST_INFO(list, Ieee8021QNetBufferListInfo)));
  const USHORT frameType = USHORT(reinterpret_cast<ULONG_PTR>(NET_BUFFER_LIST_INFO(list, NetBufferListFrameType)));
  for (PNET_BUFFER netBuffer = NET_BUFFER_LIST_FIRST_NB(list); netBuffer != nullptr;
       netBuffer = NET_BUFFER_NEXT_NB(netBuffer)) {
    if (loopback && !wirelessWan && (mode & MODE_LOOPBACK_DROP_UNICAST)) {
      // A destination that cannot be read is treated as an individual one.
      UCHAR firstByte = 0;
      const bool readable = ReadFirstFrameByte(netBuffer, &firstByte);
      if (!readable || (firstByte & 0x01) == 0 || module->Medium == NdisMediumWan) return Decision::Consumed;
    }
    PacketRecord* record = TakeRecord();
    if (record == nullptr) continue;  // pool exhausted: the frame is dropped
    CopyFrameToRecord(netBuffer, record, wirelessWan);
    if (wirelessWan && record->Length > ETHERNET_HEADER_SIZE) WriteFrameType(record, frameType);
    record->Ieee8021Q = ieee8021q;
    HandleInboundRecord(module, record);
  }
  return Decision::Consumed;
}

}  // namespace

void FilterReceiveNetBufferLists(NDIS_HANDLE filterModuleContext, PNET_BUFFER_LIST netBufferLists,
                                 NDIS_PORT_NUMBER portNumber, ULONG, ULONG receiveFlags) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  const bool resources = NDIS_TEST_RECEIVE_CANNOT_PEND(receiveFlags);
  const ULONG returnFlags = NDIS_TEST_RECEIVE_AT_DISPATCH_LEVEL(receiveFlags) ? NDIS_RETURN_FLAGS_DISPATCH_LEVEL : 0;

  if (!ModuleIsRunning(module)) {
    if (!resources) NdisFReturnNetBufferLists(module->FilterHandle, netBufferLists, returnFlags);
    return;
  }

  if (resources) {
    // The miniport keeps its lists: walk the chain without taking it apart.
    for (PNET_BUFFER_LIST list = netBufferLists; list != nullptr;) {
      PNET_BUFFER_LIST next = NET_BUFFER_LIST_NEXT_NBL(list);
      if (ReceiveDecision(module, list) == Decision::Pass) {
        NET_BUFFER_LIST_NEXT_NBL(list) = nullptr;
        NdisFIndicateReceiveNetBufferLists(module->FilterHandle, list, portNumber, 1, receiveFlags);
        NET_BUFFER_LIST_NEXT_NBL(list) = next;
      }
      list = next;
    }
    return;
  }

  PNET_BUFFER_LIST passHead = nullptr;
  PNET_BUFFER_LIST* passTail = &passHead;
  ULONG passCount = 0;
  PNET_BUFFER_LIST list = netBufferLists;
  while (list != nullptr) {
    PNET_BUFFER_LIST next = NET_BUFFER_LIST_NEXT_NBL(list);
    NET_BUFFER_LIST_NEXT_NBL(list) = nullptr;
    if (ReceiveDecision(module, list) == Decision::Pass) {
      *passTail = list;
      passTail = &NET_BUFFER_LIST_NEXT_NBL(list);
      ++passCount;
    } else {
      NdisFReturnNetBufferLists(module->FilterHandle, list, returnFlags);
    }
    list = next;
  }
  if (passHead != nullptr) {
    NdisFIndicateReceiveNetBufferLists(module->FilterHandle, passHead, portNumber, passCount, receiveFlags);
  }
}

void FilterReturnNetBufferLists(NDIS_HANDLE filterModuleContext, PNET_BUFFER_LIST netBufferLists, ULONG returnFlags) {
  auto* module = static_cast<FilterModule*>(filterModuleContext);
  NDIS_HANDLE ownPool = CurrentNblPool();
  PNET_BUFFER_LIST list = netBufferLists;
  while (list != nullptr) {
    PNET_BUFFER_LIST next = NET_BUFFER_LIST_NEXT_NBL(list);
    NET_BUFFER_LIST_NEXT_NBL(list) = nullptr;
    if (ownPool != nullptr && list->NdisPoolHandle == ownPool) {
      NdisFreeNetBufferList(list);
    } else {
      NdisFReturnNetBufferLists(module->FilterHandle, list, returnFlags);
    }
    list = next;
  }
}

}  // namespace zl::driver
