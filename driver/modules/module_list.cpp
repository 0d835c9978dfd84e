#include "driver/modules/module_list.h"

#include "driver/entry/pool_tags.h"

namespace zl::driver {
namespace {

struct ModuleListState {
  KernelLock Lock;
  LIST_ENTRY Head;
};

ModuleListState ModuleList;

}  // namespace

void InitializeModuleList() {
  InitializeKernelLock(&ModuleList.Lock);
  InitializeListHead(&ModuleList.Head);
}

void AcquireModuleList() { AcquireKernelLock(&ModuleList.Lock); }
void ReleaseModuleList() { ReleaseKernelLock(&ModuleList.Lock); }
PLIST_ENTRY FirstModuleEntry() { return ModuleList.Head.Flink; }
PLIST_ENTRY ModuleListEnd() { return &ModuleList.Head; }

void InsertModule(FilterModule* module) {
  AcquireModuleList();
  InsertHeadList(&ModuleList.Head, &module->Link);
  ReleaseModuleList();
}

void UnlinkModule(FilterModule* module) {
  AcquireModuleList();
  RemoveEntryList(&module->Link);
  ReleaseModuleList();
}

FilterModule* LookupAdapter(ULONG64 adapterHandle) {
  FilterModule* found = nullptr;
  AcquireModuleList();
  for (PLIST_ENTRY entry = ModuleList.Head.Flink; entry != &ModuleList.Head; entry = entry->Flink) {
    FilterModule* module = ModuleFromLink(entry);
    // The handle is only compared, never followed, until it names a listed module.
    if (ULONG64(reinterpret_cast<ULONG_PTR>(module)) == adapterHandle) {
      found = module;
      InterlockedIncrement(&found->References);
      break;
    }
  }
  ReleaseModuleList();
  if (found == nullptr) return nullptr;

  AcquireKernelLock(&found->StateLock);
  const bool running = ModuleIsRunning(found);
  ReleaseKernelLock(&found->StateLock);
  if (!running) {
    ReleaseAdapter(found);
    return nullptr;
  }
  return found;
}

void ReleaseAdapter(FilterModule* module) { InterlockedDecrement(&module->References); }

void FillAdapterList(void* output) {
  auto* list = static_cast<AdapterList*>(ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(AdapterList), TAG_DRIVER));
  if (list == nullptr) {
    RtlZeroMemory(output, sizeof(AdapterList));
    return;
  }
  RtlZeroMemory(list, sizeof(AdapterList));
  ULONG count = 0;
  AcquireModuleList();
  for (PLIST_ENTRY entry = ModuleList.Head.Flink; entry != &ModuleList.Head && count < MAX_LISTED_ADAPTERS;
       entry = entry->Flink) {
    FilterModule* module = ModuleFromLink(entry);
    RtlCopyMemory(list->Name[count], module->AdapterName, ADAPTER_NAME_SIZE);
    list->Medium[count] = module->Medium;
    // The address fields are rewritten without a lock by OID results and status
    // indications; each byte is read whole.
    const UCHAR* address = module->Medium == NdisMedium802_3 ? module->CurrentMacAddress : module->WanLocalAddress;
    for (int i = 0; i < 6; ++i) list->Address[count][i] = ReadUCharNoFence(&address[i]);
    list->Handle[count] = ULONG64(reinterpret_cast<ULONG_PTR>(module));
    list->Mtu[count] = ReadUShortNoFence(&module->Mtu);
    ++count;
  }
  ReleaseModuleList();
  list->Count = count;
  RtlCopyMemory(output, list, sizeof(AdapterList));
  ExFreePoolWithTag(list, TAG_DRIVER);
}

}  // namespace zl::driver
