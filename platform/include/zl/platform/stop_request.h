// A request from outside to end the program: SIGTERM or SIGINT on Linux (a
// demo script or the user's Ctrl+C), a console close on Windows.
#pragma once

#include "zl/platform/poller.h"

namespace zl::platform {

// From now on such a request no longer ends the process at once: the
// returned handle becomes readable instead, for the event loop to watch, and
// the program ends in its own order. kInvalidSocket when it cannot be set up.
// Call once, early.
SocketHandle WatchStopRequests();

}  // namespace zl::platform
