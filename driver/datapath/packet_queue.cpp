#include "driver/datapath/packet_queue.h"

#include "driver/datapath/record_pool.h"
#include "driver/modules/module_list.h"

namespace zl::driver {

void InitializePacketQueue(PacketQueue* queue, ULONG modeFlags) {
  InitializeKernelLock(&queue->Lock);
  AcquireKernelLock(&queue->Lock);
  InitializeListHead(&queue->Records);
  queue->Count = 0;
  queue->PacketEvent = nullptr;
  ReleaseKernelLock(&queue->Lock);
  SetModeFlags(queue, modeFlags);
}

ULONG ReadModeFlags(const PacketQueue* queue) { return ReadULongNoFence(&queue->ModeFlags); }

void SetModeFlags(PacketQueue* queue, ULONG modeFlags) { WriteULongNoFence(&queue->ModeFlags, modeFlags); }

void EnqueueRecord(PacketQueue* queue, PacketRecord* record) {
  AcquireKernelLock(&queue->Lock);
  InsertTailList(&queue->Records, RecordLink(record));
  ++queue->Count;
  if (queue->PacketEvent != nullptr) KeSetEvent(queue->PacketEvent, 1, FALSE);
  ReleaseKernelLock(&queue->Lock);
}

PacketRecord* DequeueRecord(PacketQueue* queue) {
  PacketRecord* record = nullptr;
  AcquireKernelLock(&queue->Lock);
  if (!IsListEmpty(&queue->Records)) {
    record = RecordFromLink(RemoveHeadList(&queue->Records));
    --queue->Count;
  }
  ReleaseKernelLock(&queue->Lock);
  return record;
}

namespace {

// Caller holds the queue lock (lock order: queue, then pool).
void ReturnQueuedRecords(PacketQueue* queue) {
  while (!IsListEmpty(&queue->Records)) ReturnRecord(RecordFromLink(RemoveHeadList(&queue->Records)));
  queue->Count = 0;
}

}  // namespace

void FlushPacketQueue(PacketQueue* queue) {
  AcquireKernelLock(&queue->Lock);
  ReturnQueuedRecords(queue);
  ReleaseKernelLock(&queue->Lock);
}

ULONG QueuedRecordCount(PacketQueue* queue) {
  AcquireKernelLock(&queue->Lock);
  const ULONG count = queue->Count;
  ReleaseKernelLock(&queue->Lock);
  return count;
}

void ReplacePacketEvent(PacketQueue* queue, PKEVENT referencedEvent) {
  AcquireKernelLock(&queue->Lock);
  PKEVENT previous = queue->PacketEvent;
  queue->PacketEvent = referencedEvent;
  if (previous != nullptr) ObDereferenceObject(previous);
  ReleaseKernelLock(&queue->Lock);
}

void ResetAdapterQueue(PacketQueue* queue) {
  SetModeFlags(queue, 0);
  AcquireKernelLock(&queue->Lock);
  ReturnQueuedRecords(queue);
  if (queue->PacketEvent != nullptr) {
    ObDereferenceObject(queue->PacketEvent);
    queue->PacketEvent = nullptr;
  }
  ReleaseKernelLock(&queue->Lock);
}

void ResetAllAdapters() {
  AcquireModuleList();
  for (PLIST_ENTRY entry = FirstModuleEntry(); entry != ModuleListEnd(); entry = entry->Flink) {
    ResetAdapterQueue(&ModuleFromLink(entry)->Queue);
  }
  ReleaseModuleList();
}

}  // namespace zl::driver
