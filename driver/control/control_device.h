// The control device "\Device\VORLANEX": the dispatch routines the I/O manager
// calls for it.
#pragma once

#include <ndis.h>

namespace zl::driver {

// Create, close and cleanup: counts the open handles; when the last one closes,
// every adapter returns to mode 0 with its queue flushed and the filter table
// is removed.
DRIVER_DISPATCH VorlanexOpenClose;
// Device-control and internal-device-control requests.
DRIVER_DISPATCH VorlanexControl;

}  // namespace zl::driver
