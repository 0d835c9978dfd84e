// The record in which the driver holds one frame: the unit of the record pool,
// the adapter queues, and every transfer between driver and client.
#pragma once

#include <ndis.h>

namespace zl::driver {

constexpr ULONG DIRECTION_OUTBOUND = 1;  // from the protocols towards the adapter
constexpr ULONG DIRECTION_INBOUND = 2;   // from the adapter towards the protocols

constexpr ULONG MAX_FRAME_SIZE = 1514;
constexpr ULONG ETHERNET_HEADER_SIZE = 14;
constexpr ULONG MAX_WWAN_PACKET_SIZE = 1500;

// Adapter mode flags.
constexpr ULONG MODE_DIVERT_OUTBOUND = 0x01;
constexpr ULONG MODE_DIVERT_INBOUND = 0x02;
constexpr ULONG MODE_COPY_OUTBOUND = 0x04;
constexpr ULONG MODE_COPY_INBOUND = 0x08;
constexpr ULONG MODE_INBOUND_OWN_ADDRESS_ONLY = 0x10;
constexpr ULONG MODE_INBOUND_LOOPBACK = 0x20;
constexpr ULONG MODE_LOOPBACK_DROP_UNICAST = 0x40;

#pragma pack(push, 1)
struct PacketRecord {
  LIST_ENTRY Link;  // free list or queue membership; meaningless to clients
  ULONG Direction;
  ULONG Length;  // bytes of Frame in use, 0 to 1514
  ULONG Reserved;
  ULONG Ieee8021Q;  // low 32 bits of the list's 802.1Q information
  UCHAR Frame[MAX_FRAME_SIZE];
};
#pragma pack(pop)
static_assert(sizeof(PacketRecord) == 1546, "PacketRecord is a wire format of 1546 bytes");
constexpr ULONG PACKET_RECORD_HEADER_SIZE = 32;

// The link sits at offset 0 of every record, which is allocated on its own and
// therefore aligned for it.
inline PLIST_ENTRY RecordLink(PacketRecord* record) { return reinterpret_cast<PLIST_ENTRY>(record); }
inline PacketRecord* RecordFromLink(PLIST_ENTRY link) { return reinterpret_cast<PacketRecord*>(link); }

}  // namespace zl::driver
