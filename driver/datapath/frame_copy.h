// Moving frames between NDIS net buffers and records.
#pragma once

#include <ndis.h>

#include "driver/datapath/packet_record.h"
#include "driver/modules/filter_module.h"

namespace zl::driver {

// Copies the net buffer's frame into the record and sets its length: at most
// 1514 bytes (a wireless-WAN packet goes behind a 14-byte Ethernet-shaped header
// of zeros, at most 1500 bytes of it). A descriptor chain that ends early or a
// descriptor without a system address gives length 0.
void CopyFrameToRecord(PNET_BUFFER netBuffer, PacketRecord* record, bool wirelessWan);

// The destination's first byte, wherever it lies in the descriptor chain.
bool ReadFirstFrameByte(PNET_BUFFER netBuffer, UCHAR* firstByte);

// A new list of the driver's pool carrying the record's frame (for a
// wireless-WAN adapter the packet behind the 14-byte header), or none when there
// is nothing to send, no pool, no free list or no mapping.
PNET_BUFFER_LIST BuildFrameNbl(FilterModule* module, const PacketRecord* record, ULONG length);

// The frame type of a wireless-WAN list, in the order it is stored.
void WriteFrameType(PacketRecord* record, USHORT frameType);

}  // namespace zl::driver
