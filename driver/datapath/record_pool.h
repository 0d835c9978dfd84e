// The RecordPool: 500 records allocated at start, shared by every adapter. A
// record is always in exactly one place: the free list, one adapter's queue, or
// the hands of the routine that took it.
#pragma once

#include <ndis.h>

#include "driver/datapath/packet_record.h"

namespace zl::driver {

constexpr ULONG RECORD_POOL_SIZE = 500;

// Allocates the 500 records. STATUS_UNSUCCESSFUL when one allocation fails;
// the records made so far stay in the pool for EmptyRecordPool.
NTSTATUS FillRecordPool();
// Frees every record on the free list.
void EmptyRecordPool();

// A record from the head of the free list, or none when the pool is empty.
PacketRecord* TakeRecord();
// Appends the record at the tail of the free list; none does nothing.
void ReturnRecord(PacketRecord* record);

// Records on the free list right now.
ULONG FreeRecordCount();

}  // namespace zl::driver
