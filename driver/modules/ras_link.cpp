#include "driver/modules/ras_link.h"

#include "driver/entry/pool_tags.h"

namespace zl::driver {
namespace {

static_assert(offsetof(NDIS_WAN_LINE_UP, MaximumTotalSize) == 4);
static_assert(offsetof(NDIS_WAN_LINE_UP, RemoteAddress) == 14);
static_assert(offsetof(NDIS_WAN_LINE_UP, LocalAddress) == 20);
static_assert(offsetof(NDIS_WAN_LINE_UP, ProtocolBufferLength) == 28);
static_assert(offsetof(NDIS_WAN_LINE_UP, ProtocolBuffer) == 32);

// Links are told apart by the last four bytes of their local address.
bool SameLocalLink(const RasLink* link, const NDIS_WAN_LINE_UP* lineUp) {
  return RtlEqualMemory(link->Info.LocalAddress + 2, lineUp->LocalAddress + 2, 4);
}

bool ListedLocalLink(FilterModule* module, const NDIS_WAN_LINE_UP* lineUp) {
  bool listed = false;
  AcquireKernelLock(&module->RasLinkLock);
  for (PLIST_ENTRY entry = module->RasLinks.Flink; entry != &module->RasLinks; entry = entry->Flink) {
    if (SameLocalLink(CONTAINING_RECORD(entry, RasLink, Link), lineUp)) {
      listed = true;
      break;
    }
  }
  ReleaseKernelLock(&module->RasLinkLock);
  return listed;
}

}  // namespace

void AddRasLink(FilterModule* module, const NDIS_WAN_LINE_UP* lineUp) {
  if (ListedLocalLink(module, lineUp)) return;
  auto* link = static_cast<RasLink*>(ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(RasLink), TAG_DRIVER));
  if (link == nullptr) return;
  RtlZeroMemory(link, sizeof(RasLink));
  RasLinkInfo& info = link->Info;
  info.LinkSpeed = lineUp->LinkSpeed;
  info.MaximumTotalSize = lineUp->MaximumTotalSize;
  RtlCopyMemory(info.RemoteAddress, lineUp->RemoteAddress, sizeof info.RemoteAddress);
  RtlCopyMemory(info.LocalAddress, lineUp->LocalAddress, sizeof info.LocalAddress);
  info.ProtocolBufferLength = lineUp->ProtocolBufferLength;
  ULONG copied = lineUp->ProtocolBufferLength;
  if (copied > sizeof info.ProtocolBuffer) copied = sizeof info.ProtocolBuffer;
  if (lineUp->ProtocolBuffer != nullptr && copied != 0) RtlCopyMemory(info.ProtocolBuffer, lineUp->ProtocolBuffer, copied);

  AcquireKernelLock(&module->RasLinkLock);
  InsertTailList(&module->RasLinks, &link->Link);
  ReleaseKernelLock(&module->RasLinkLock);
}

void RemoveRasLink(FilterModule* module, const NDIS_WAN_LINE_DOWN* lineDown) {
  RasLink* removed = nullptr;
  AcquireKernelLock(&module->RasLinkLock);
  for (PLIST_ENTRY entry = module->RasLinks.Flink; entry != &module->RasLinks; entry = entry->Flink) {
    RasLink* link = CONTAINING_RECORD(entry, RasLink, Link);
    if (RtlEqualMemory(link->Info.RemoteAddress, lineDown->RemoteAddress, 6) &&
        RtlEqualMemory(link->Info.LocalAddress, lineDown->LocalAddress, 6)) {
      RemoveEntryList(entry);
      removed = link;
      break;
    }
  }
  ReleaseKernelLock(&module->RasLinkLock);
  if (removed != nullptr) ExFreePoolWithTag(removed, TAG_DRIVER);
}

void CopyRasLinks(FilterModule* module, RasLinkList* output) {
  RtlZeroMemory(output, sizeof(RasLinkList));
  ULONG count = 0;
  AcquireKernelLock(&module->RasLinkLock);
  for (PLIST_ENTRY entry = module->RasLinks.Flink; entry != &module->RasLinks && count < zl::vorlanex::MAX_RAS_LINKS;
       entry = entry->Flink) {
    RtlCopyMemory(&output->Links[count], &CONTAINING_RECORD(entry, RasLink, Link)->Info, sizeof(RasLinkInfo));
    ++count;
  }
  ReleaseKernelLock(&module->RasLinkLock);
  output->Count = count;
}

void ReleaseRasLinks(FilterModule* module) {
  AcquireKernelLock(&module->RasLinkLock);
  while (!IsListEmpty(&module->RasLinks)) {
    RasLink* link = CONTAINING_RECORD(RemoveHeadList(&module->RasLinks), RasLink, Link);
    ExFreePoolWithTag(link, TAG_DRIVER);
  }
  ReleaseKernelLock(&module->RasLinkLock);
}

}  // namespace zl::driver
