// The NDIS handlers that create, pause, restart and remove a filter module, and
// the PnP notifications it forwards.
#pragma once

#include <ndis.h>

namespace zl::driver {

FILTER_ATTACH FilterAttach;
FILTER_DETACH FilterDetach;
FILTER_RESTART FilterRestart;
FILTER_PAUSE FilterPause;
FILTER_DEVICE_PNP_EVENT_NOTIFY FilterDevicePnPEventNotify;
FILTER_NET_PNP_EVENT FilterNetPnPEvent;

}  // namespace zl::driver
