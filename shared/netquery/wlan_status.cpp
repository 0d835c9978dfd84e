#include "shared/netquery/wlan_status.h"

#include <cstdio>
#include <mutex>

#include "shared/support/trim.h"
#include "zl/platform/dynamic_library.h"
#include "zl/platform/wlan_api.h"

namespace zl::netquery {
namespace {

constexpr std::uint32_t kWlanClientVersion = 2;

// Process-wide: loaded once, never released before the process ends. The
// lock keeps a first use from two threads from loading twice.
struct WlanLibrary {
  std::mutex lock;
  platform::LibraryHandle library = nullptr;
  platform::WlanOpenHandleFunction openHandle = nullptr;
  platform::WlanHostedNetworkQueryStatusFunction queryStatus = nullptr;
  platform::WlanFreeMemoryFunction freeMemory = nullptr;
  platform::WlanClientHandle client = nullptr;
  bool clientOpen = false;
};

WlanLibrary& Wlan() {
  static WlanLibrary wlan;
  return wlan;
}

bool LoadLocked(WlanLibrary& wlan) {
  if (wlan.library) return true;
  wlan.library = platform::LoadLibraryByName(platform::kWlanLibraryName);
  if (!wlan.library) return false;
  wlan.openHandle =
      reinterpret_cast<platform::WlanOpenHandleFunction>(platform::FindEntryPoint(wlan.library, "WlanOpenHandle"));
  wlan.queryStatus = reinterpret_cast<platform::WlanHostedNetworkQueryStatusFunction>(
      platform::FindEntryPoint(wlan.library, "WlanHostedNetworkQueryStatus"));
  wlan.freeMemory =
      reinterpret_cast<platform::WlanFreeMemoryFunction>(platform::FindEntryPoint(wlan.library, "WlanFreeMemory"));
  return true;
}

bool OpenLocked(WlanLibrary& wlan) {
  if (wlan.clientOpen) return true;
  if (!LoadLocked(wlan) || !wlan.openHandle) return false;
  std::uint32_t negotiated = 0;
  platform::WlanClientHandle client = nullptr;
  if (wlan.openHandle(kWlanClientVersion, nullptr, &negotiated, &client) != 0) return false;
  wlan.client = client;
  wlan.clientOpen = true;
  return true;
}

std::string FormatGuid(const platform::WlanGuid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
                g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

}  // namespace

bool LoadWlanApi() {
  try {
    WlanLibrary& wlan = Wlan();
    std::lock_guard<std::mutex> guard(wlan.lock);
    return LoadLocked(wlan);
  } catch (...) {
    return false;
  }
}

bool OpenWlanHandle() {
  try {
    WlanLibrary& wlan = Wlan();
    std::lock_guard<std::mutex> guard(wlan.lock);
    return OpenLocked(wlan);
  } catch (...) {
    return false;
  }
}

bool QueryHostedNetworkStatus(std::string& deviceGuid) {
  try {
    WlanLibrary& wlan = Wlan();
    platform::WlanHostedNetworkQueryStatusFunction query = nullptr;
    platform::WlanFreeMemoryFunction freeMemory = nullptr;
    platform::WlanClientHandle client = nullptr;
    {
      std::lock_guard<std::mutex> guard(wlan.lock);
      if (!OpenLocked(wlan) || !wlan.queryStatus) return false;
      query = wlan.queryStatus;
      freeMemory = wlan.freeMemory;
      client = wlan.client;
    }
    platform::WlanHostedNetworkStatus* status = nullptr;
    if (query(client, &status, nullptr) != 0 || !status) return false;
    deviceGuid = FormatGuid(status->ipDeviceId);
    // The library allocated the record; it is handed back so that repeated
    // queries (every adapter walk makes some) do not accumulate memory.
    if (freeMemory) freeMemory(status);
    return true;
  } catch (...) {
    return false;
  }
}

bool IsHostedNetworkAdapter(const std::string& adapterName) {
  std::string guid;
  return QueryHostedNetworkStatus(guid) && Trim(guid) == Trim(adapterName);
}

}  // namespace zl::netquery
