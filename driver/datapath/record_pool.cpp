#include "driver/datapath/record_pool.h"

#include "driver/entry/kernel_lock.h"
#include "driver/entry/pool_tags.h"

namespace zl::driver {
namespace {

struct RecordPoolState {
  KernelLock Lock;
  LIST_ENTRY Free;
  ULONG FreeCount;
};

RecordPoolState RecordPool;

}  // namespace

NTSTATUS FillRecordPool() {
  InitializeKernelLock(&RecordPool.Lock);
  InitializeListHead(&RecordPool.Free);
  RecordPool.FreeCount = 0;
  for (ULONG i = 0; i < RECORD_POOL_SIZE; ++i) {
    auto* record = static_cast<PacketRecord*>(ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(PacketRecord), TAG_DRIVER));
    if (record == nullptr) return STATUS_UNSUCCESSFUL;
    AcquireKernelLock(&RecordPool.Lock);
    InsertTailList(&RecordPool.Free, RecordLink(record));
    ++RecordPool.FreeCount;
    ReleaseKernelLock(&RecordPool.Lock);
  }
  return STATUS_SUCCESS;
}

void EmptyRecordPool() {
  AcquireKernelLock(&RecordPool.Lock);
  while (!IsListEmpty(&RecordPool.Free)) {
    PacketRecord* record = RecordFromLink(RemoveHeadList(&RecordPool.Free));
    --RecordPool.FreeCount;
    ExFreePoolWithTag(record, TAG_DRIVER);
  }
  ReleaseKernelLock(&RecordPool.Lock);
}

PacketRecord* TakeRecord() {
  PacketRecord* record = nullptr;
  AcquireKernelLock(&RecordPool.Lock);
  if (!IsListEmpty(&RecordPool.Free)) {
    record = RecordFromLink(RemoveHeadList(&RecordPool.Free));
    --RecordPool.FreeCount;
  }
  ReleaseKernelLock(&RecordPool.Lock);
  return record;
}

void ReturnRecord(PacketRecord* record) {
  if (record == nullptr) return;
  AcquireKernelLock(&RecordPool.Lock);
  InsertTailList(&RecordPool.Free, RecordLink(record));
  ++RecordPool.FreeCount;
  ReleaseKernelLock(&RecordPool.Lock);
}

ULONG FreeRecordCount() {
  AcquireKernelLock(&RecordPool.Lock);
  const ULONG count = RecordPool.FreeCount;
  ReleaseKernelLock(&RecordPool.Lock);
  return count;
}

}  // namespace zl::driver
