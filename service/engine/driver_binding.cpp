#include "service/engine/driver_binding.h"

#include <atomic>
#include <thread>

namespace zl::engine {

using driverclient::PacketDriver;

namespace {

DriverBinding binding;
std::atomic<int> threadsInDriver{0};

}  // namespace

DriverBinding& CurrentDriverBinding() { return binding; }

void ReleaseBinding(DriverBinding& used) {
  try {
    if (used.Driver != nullptr && driverclient::PacketDriverApiLoaded()) {
      if (used.AdapterDiverted) {
        used.AdapterMode.AdapterHandle = reinterpret_cast<std::uintptr_t>(used.Adapter);
        used.AdapterMode.Flags = 0;
        PacketDriver.SetAdapterMode(used.Driver, &used.AdapterMode);
      }
      if (used.EventRegistered) PacketDriver.SetPacketEvent(used.Driver, used.Adapter, nullptr);
    }
    if (used.PacketEvent != platform::kNoEvent) platform::CloseEventHandle(used.PacketEvent);
    if (used.Driver != nullptr && driverclient::PacketDriverApiLoaded()) PacketDriver.CloseFilterDriver(used.Driver);
  } catch (...) {
  }
  used.Driver = nullptr;
  used.Adapter = nullptr;
  used.PacketEvent = platform::kNoEvent;
  used.EventRegistered = false;
  used.AdapterDiverted = false;
}

void ReleaseDriver() {
  ReleaseBinding(binding);
  try {
    driverclient::UnloadPacketDriverApi();
  } catch (...) {
  }
}

void PacketThreadEntered() { ++threadsInDriver; }
void PacketThreadLeft() { --threadsInDriver; }

bool WaitForPacketThreads(std::chrono::milliseconds bound) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (threadsInDriver.load() > 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace zl::engine
