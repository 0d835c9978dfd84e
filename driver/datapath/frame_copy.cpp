#include "driver/datapath/frame_copy.h"

#include "driver/entry/driver_state.h"

namespace zl::driver {
namespace {

PUCHAR SystemAddressOf(PMDL mdl) {
  return static_cast<PUCHAR>(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority | MdlMappingNoExecute));
}

ULONG Smaller(ULONG a, ULONG b) { return a < b ? a : b; }

}  // namespace

void CopyFrameToRecord(PNET_BUFFER netBuffer, PacketRecord* record, bool wirelessWan) {
  record->Length = 0;
  PMDL mdl = NET_BUFFER_CURRENT_MDL(netBuffer);
  ULONG remaining = NET_BUFFER_DATA_LENGTH(netBuffer);
  if (mdl == nullptr || remaining == 0) return;

  ULONG room = MAX_FRAME_SIZE;
  ULONG position = 0;
  if (wirelessWan) {
    RtlZeroMemory(record->Frame, ETHERNET_HEADER_SIZE);
    room = MAX_WWAN_PACKET_SIZE;
    position = ETHERNET_HEADER_SIZE;
  }

  const ULONG offset = NET_BUFFER_CURRENT_MDL_OFFSET(netBuffer);
  if (MmGetMdlByteCount(mdl) <= offset) return;
  ULONG chunk = Smaller(remaining, MmGetMdlByteCount(mdl) - offset);
  PUCHAR source = SystemAddressOf(mdl);
  if (source == nullptr) return;
  source += offset;

  for (;;) {
    const ULONG n = Smaller(chunk, room);
    RtlCopyMemory(record->Frame + position, source, n);
    position += n;
    room -= n;
    remaining -= n;
    if (room == 0 || remaining == 0) {
      record->Length = position;
      return;
    }
    mdl = NDIS_MDL_LINKAGE(mdl);
    if (mdl == nullptr) return;
    source = SystemAddressOf(mdl);
    if (source == nullptr) return;
    chunk = Smaller(remaining, MmGetMdlByteCount(mdl));
  }
}

bool ReadFirstFrameByte(PNET_BUFFER netBuffer, UCHAR* firstByte) {
  if (NET_BUFFER_DATA_LENGTH(netBuffer) == 0) return false;
  ULONG offset = NET_BUFFER_CURRENT_MDL_OFFSET(netBuffer);
  for (PMDL mdl = NET_BUFFER_CURRENT_MDL(netBuffer); mdl != nullptr; mdl = NDIS_MDL_LINKAGE(mdl)) {
    if (offset < MmGetMdlByteCount(mdl)) {
      PUCHAR address = SystemAddressOf(mdl);
      if (address == nullptr) return false;
      *firstByte = address[offset];
      return true;
    }
    offset -= MmGetMdlByteCount(mdl);
  }
  return false;
}

void WriteFrameType(PacketRecord* record, USHORT frameType) { RtlCopyMemory(&record->Frame[12], &frameType, 2); }

PNET_BUFFER_LIST BuildFrameNbl(FilterModule* module, const PacketRecord* record, ULONG length) {
  const bool wirelessWan = module->Medium == NdisMediumWirelessWan;
  ULONG size = length;
  ULONG skip = 0;
  if (wirelessWan) {
    if (length <= ETHERNET_HEADER_SIZE) return nullptr;
    skip = ETHERNET_HEADER_SIZE;
    size = length - ETHERNET_HEADER_SIZE;
  }
  // A module may run before start has created the pool; nothing is re-injected then.
  NDIS_HANDLE pool = CurrentNblPool();
  if (pool == nullptr) return nullptr;
  PNET_BUFFER_LIST list = NdisAllocateNetBufferList(pool, 0, 0);
  if (list == nullptr) return nullptr;

  PNET_BUFFER netBuffer = NET_BUFFER_LIST_FIRST_NB(list);
  NET_BUFFER_CURRENT_MDL_OFFSET(netBuffer) = 0;
  NET_BUFFER_DATA_OFFSET(netBuffer) = 0;
  NET_BUFFER_DATA_LENGTH(netBuffer) = size;
  list->SourceHandle = module->FilterHandle;

  PUCHAR data = SystemAddressOf(NET_BUFFER_CURRENT_MDL(netBuffer));
  if (data == nullptr) {
    NdisFreeNetBufferList(list);
    return nullptr;
  }
  RtlCopyMemory(data, record->Frame + skip, size);

  if (wirelessWan) {
    USHORT frameType;
    RtlCopyMemory(&frameType, &record->Frame[12], 2);
    NET_BUFFER_LIST_INFO(list, NetBufferListFrameType) = reinterpret_cast<PVOID>(ULONG_PTR(frameType));
    if (record->Frame[12] == 0x08 && record->Frame[13] == 0x00) NdisSetNblFlag(list, NDIS_NBL_FLAGS_IS_IPV4);
    if (record->Frame[12] == 0x86 && record->Frame[13] == 0xDD) NdisSetNblFlag(list, NDIS_NBL_FLAGS_IS_IPV6);
  }
  return list;
}

}  // namespace zl::driver
