// Active WAN links of an adapter, as WAN line-up indications report them.
#pragma once

#include <ndis.h>

#include "driver/modules/filter_module.h"

namespace zl::driver {

#pragma pack(push, 1)
struct RasLinkInfo {
  ULONG LinkSpeed;
  ULONG MaximumTotalSize;  // as indicated, less MTUDecrement
  UCHAR RemoteAddress[6];
  UCHAR LocalAddress[6];
  ULONG ProtocolBufferLength;
  UCHAR ProtocolBuffer[1024];
};
#pragma pack(pop)
static_assert(sizeof(RasLinkInfo) == 1048, "RasLinkInfo is a wire format of 1048 bytes");

struct RasLink {
  LIST_ENTRY Link;
  RasLinkInfo Info;
};

// Frees the links still listed when the module goes away.
void ReleaseRasLinks(FilterModule* module);

}  // namespace zl::driver
