// Active WAN links of an adapter, as WAN line-up indications report them.
#pragma once

#include <ndis.h>

#include "driver/control/vorlanex_interface.h"
#include "driver/modules/filter_module.h"

namespace zl::driver {

using zl::vorlanex::RasLinkInfo;
using zl::vorlanex::RasLinkList;

struct RasLink {
  LIST_ENTRY Link;
  RasLinkInfo Info;
};

// Lists the link a WAN line-up reports (its maximum total size already lowered),
// unless a listed link has the same local address bytes 2 to 5. Without memory
// for the record the link is not listed.
void AddRasLink(FilterModule* module, const NDIS_WAN_LINE_UP* lineUp);
// Drops the oldest link whose remote and local addresses both equal the line-down's.
void RemoveRasLink(FilterModule* module, const NDIS_WAN_LINE_DOWN* lineDown);
// The module's links, oldest first, at most 256; the rest of the list is zero.
void CopyRasLinks(FilterModule* module, RasLinkList* output);
// Frees the links still listed when the module goes away.
void ReleaseRasLinks(FilterModule* module);

}  // namespace zl::driver
