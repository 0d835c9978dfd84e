// The ModuleList: every attached FilterModule, most recently attached first,
// with its lock. Lock order where several are held: ModuleList, then a module's
// queue lock, then the RecordPool lock.
#pragma once

#include <ndis.h>

#include "driver/control/vorlanex_interface.h"
#include "driver/modules/filter_module.h"

namespace zl::driver {

void InitializeModuleList();
void AcquireModuleList();
void ReleaseModuleList();
// Walking the list, under its lock.
PLIST_ENTRY FirstModuleEntry();
PLIST_ENTRY ModuleListEnd();
inline FilterModule* ModuleFromLink(PLIST_ENTRY link) { return CONTAINING_RECORD(link, FilterModule, Link); }

void InsertModule(FilterModule* module);
void UnlinkModule(FilterModule* module);

// The module named by an adapter handle if it is on the list and Running, else
// none. A module returned holds a reference: the caller ends its use with
// ReleaseAdapter, and detach waits until it has.
FilterModule* LookupAdapter(ULONG64 adapterHandle);
void ReleaseAdapter(FilterModule* module);

// The AdapterList handed to clients (8836 bytes).
using zl::vorlanex::AdapterList;
using zl::vorlanex::MAX_LISTED_ADAPTERS;

// Fills the 8836-byte output with up to 32 adapters, most recently attached
// first. If the temporary list cannot be allocated, the output is all zero.
void FillAdapterList(void* output);

}  // namespace zl::driver
