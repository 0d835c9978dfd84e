// The packet thread's binding to the driver: process-wide, one at a time,
// set up by a packet thread's start-up and released when the process ends by
// ReleaseDriver (every adapter the binding diverted goes back to mode 0).
//
// Only a packet thread writes the binding. The program runs ReleaseDriver as
// its last step, once the packet threads have left the driver
// (WaitForPacketThreads), so the binding is never released under a running
// thread nor after the client library's own state is gone.
#pragma once

#include <chrono>

#include "service/driverclient/packet_driver_api.h"
#include "zl/platform/sync_event.h"

namespace zl::engine {

struct DriverBinding {
  driverclient::HANDLE Driver = nullptr;  // from OpenFilterDriver; null: no binding
  driverclient::HANDLE Adapter = nullptr;
  platform::EventHandle PacketEvent = platform::kNoEvent;
  bool EventRegistered = false;  // SetPacketEvent succeeded for Adapter
  bool AdapterDiverted = false;  // SetAdapterMode with flags 3 was sent
  driverclient::AdapterModeRequest AdapterMode{};
  driverclient::PacketRequest FrameRequest{};
  driverclient::PacketRecord PacketBuffer{};
};

DriverBinding& CurrentDriverBinding();

// Stops the diversion (mode 0), takes back the event, closes the event and
// the driver handle, unloads the client library. Nothing for parts never set
// up; safe to run again.
void ReleaseDriver();

// Releases what of the binding was set up (mode 0 when the adapter was
// diverted, the event taken back and closed, the driver handle closed) and
// empties it; the library stays loaded. For a thread that ended before it
// diverted its adapter, and for the binding a new thread replaces.
void ReleaseBinding(DriverBinding& binding);

// Counts the packet threads that may still touch the binding.
void PacketThreadEntered();
void PacketThreadLeft();
// True once no packet thread touches the binding any more; waits at most
// `bound` for the last one (a woken thread leaves within a moment).
bool WaitForPacketThreads(std::chrono::milliseconds bound);

}  // namespace zl::engine
