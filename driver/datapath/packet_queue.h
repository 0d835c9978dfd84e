// The per-adapter PacketQueue: the records diverted for the client, oldest
// first, the adapter's mode flags and its packet event.
#pragma once

#include <ndis.h>

#include "driver/datapath/packet_record.h"
#include "driver/entry/kernel_lock.h"

namespace zl::driver {

struct PacketQueue {
  KernelLock Lock;
  LIST_ENTRY Records;
  // Read once per frame without the lock; a frame already past the read
  // follows the old flags.
  volatile ULONG ModeFlags;
  ULONG Count;
  PKEVENT PacketEvent;  // referenced, or none
};

void InitializePacketQueue(PacketQueue* queue, ULONG modeFlags);

ULONG ReadModeFlags(const PacketQueue* queue);
void SetModeFlags(PacketQueue* queue, ULONG modeFlags);

// Appends at the tail, raises the count and signals the packet event, all under
// the queue lock.
void EnqueueRecord(PacketQueue* queue, PacketRecord* record);
// The oldest record, unlinked, or none when the queue is empty.
PacketRecord* DequeueRecord(PacketQueue* queue);
// Every queued record back to the pool; count 0. Mode and event stay.
void FlushPacketQueue(PacketQueue* queue);
ULONG QueuedRecordCount(PacketQueue* queue);
// Stores a referenced event (or none) and releases the previous one.
void ReplacePacketEvent(PacketQueue* queue, PKEVENT referencedEvent);

// Mode 0, every queued record back to the pool, count 0, packet event released.
void ResetAdapterQueue(PacketQueue* queue);
// ResetAdapterQueue on every module of the ModuleList.
void ResetAllAdapters();

}  // namespace zl::driver
