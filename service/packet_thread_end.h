// The end of a service run, for the program and for any owner that runs a
// TZephlinkService in its own loop: once the service object is destroyed,
// its woken packet thread may still make a synchronised call (which then
// does nothing) before it leaves the driver. Only after that may the loop
// go and engine::ReleaseDriver run.
#pragma once

#include <chrono>

#include "shared/support/poll_event_loop.h"

namespace zl::service {

// Runs the loop until no packet thread touches the driver binding any more,
// at most `bound` of wall time; true when none does.
bool AwaitPacketThreadEnd(PollEventLoop& loop, std::chrono::milliseconds bound);

}  // namespace zl::service
