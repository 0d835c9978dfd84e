// Re-injection of records as new lists of the driver's own pool: down towards
// the adapter (SendRecord) or up towards the protocols (IndicateRecord). The
// record stays with the caller; its frame is copied into the list.
#pragma once

#include <ndis.h>

#include "driver/datapath/packet_record.h"
#include "driver/modules/filter_module.h"

namespace zl::driver {

// Refused when the module is not Running, the length is 0 or above 1514, or no
// list can be built.
bool SendRecord(FilterModule* module, const PacketRecord* record);
// Refused when the module is not Running, the length is above 1514, or no list
// can be built. The protocols are done with the list when the call returns.
bool IndicateRecord(FilterModule* module, const PacketRecord* record);

}  // namespace zl::driver
