// The record in which the driver holds one frame: the unit of the record pool,
// the adapter queues, and every transfer between driver and client.
#pragma once

#include <ndis.h>

#include "driver/control/vorlanex_interface.h"

namespace zl::driver {

using zl::vorlanex::DIRECTION_INBOUND;
using zl::vorlanex::DIRECTION_OUTBOUND;
using zl::vorlanex::MAX_FRAME_SIZE;
using zl::vorlanex::MODE_COPY_INBOUND;
using zl::vorlanex::MODE_COPY_OUTBOUND;
using zl::vorlanex::MODE_DIVERT_INBOUND;
using zl::vorlanex::MODE_DIVERT_OUTBOUND;
using zl::vorlanex::MODE_INBOUND_LOOPBACK;
using zl::vorlanex::MODE_INBOUND_OWN_ADDRESS_ONLY;
using zl::vorlanex::MODE_LOOPBACK_DROP_UNICAST;

constexpr ULONG ETHERNET_HEADER_SIZE = 14;
constexpr ULONG MAX_WWAN_PACKET_SIZE = 1500;

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
// The driver's record is the client's record with a list link in its first 16 bytes.
static_assert(sizeof(PacketRecord) == sizeof(zl::vorlanex::PacketRecord));
static_assert(offsetof(PacketRecord, Direction) == offsetof(zl::vorlanex::PacketRecord, Direction));
static_assert(offsetof(PacketRecord, Length) == offsetof(zl::vorlanex::PacketRecord, Length));
static_assert(offsetof(PacketRecord, Ieee8021Q) == offsetof(zl::vorlanex::PacketRecord, Ieee8021Q));
static_assert(offsetof(PacketRecord, Frame) == offsetof(zl::vorlanex::PacketRecord, Frame));
using zl::vorlanex::PACKET_RECORD_HEADER_SIZE;

// The link sits at offset 0 of every record, which is allocated on its own and
// therefore aligned for it.
inline PLIST_ENTRY RecordLink(PacketRecord* record) { return reinterpret_cast<PLIST_ENTRY>(record); }
inline PacketRecord* RecordFromLink(PLIST_ENTRY link) { return reinterpret_cast<PacketRecord*>(link); }

}  // namespace zl::driver
