// The wireless LAN library of the emulated machine ("Wlanapi.dll"): the
// client handle and the hosted network's status, read from the machine.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "zl/platform/errors.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/wlan_api.h"

namespace {

using zl::platform::WlanGuid;
using zl::platform::WlanHostedNetworkStatus;

constexpr std::uint32_t kClientVersionVista = 2;
// Marks a handle as one of ours, so a stray pointer is refused.
constexpr std::uint32_t kHandleTag = 0x574C414E;  // "WLAN"

struct ClientHandle {
  std::uint32_t tag = kHandleTag;
};

WlanGuid ParseGuid(const std::string& text) {
  WlanGuid guid{};
  unsigned d[11] = {};
  if (std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d[0], &d[1], &d[2], &d[3], &d[4], &d[5], &d[6],
                  &d[7], &d[8], &d[9], &d[10]) == 11) {
    guid.data1 = d[0];
    guid.data2 = static_cast<std::uint16_t>(d[1]);
    guid.data3 = static_cast<std::uint16_t>(d[2]);
    for (int i = 0; i < 8; ++i) guid.data4[i] = static_cast<std::uint8_t>(d[3 + i]);
  }
  return guid;
}

bool ValidHandle(void* handle) { return handle && static_cast<ClientHandle*>(handle)->tag == kHandleTag; }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) std::uint32_t WlanOpenHandle(std::uint32_t clientVersion, void* reserved,
                                                                    std::uint32_t* negotiatedVersion, void** client) {
  if (reserved || !negotiatedVersion || !client || clientVersion < 1 || clientVersion > kClientVersionVista) {
    return zl::platform::kErrorInvalidParameter;
  }
  *negotiatedVersion = clientVersion;
  *client = new (std::nothrow) ClientHandle;
  return *client ? zl::platform::kErrorSuccess : 8;  // ERROR_NOT_ENOUGH_MEMORY
}

__attribute__((visibility("default"))) std::uint32_t WlanCloseHandle(void* client, void* reserved) {
  if (reserved || !ValidHandle(client)) return zl::platform::kErrorInvalidParameter;
  static_cast<ClientHandle*>(client)->tag = 0;
  delete static_cast<ClientHandle*>(client);
  return zl::platform::kErrorSuccess;
}

__attribute__((visibility("default"))) std::uint32_t WlanHostedNetworkQueryStatus(void* client,
                                                                                  WlanHostedNetworkStatus** status,
                                                                                  void* reserved) {
  if (reserved || !status || !ValidHandle(client)) return zl::platform::kErrorInvalidParameter;
  const auto state = zl::platform::machine::ReadHostedNetwork();
  auto* record = static_cast<WlanHostedNetworkStatus*>(std::calloc(1, sizeof(WlanHostedNetworkStatus)));
  if (!record) return 8;
  if (!state.supported || !state.allowed) {
    record->hostedNetworkState = zl::platform::kWlanHostedNetworkUnavailable;
  } else if (!state.started) {
    record->hostedNetworkState = zl::platform::kWlanHostedNetworkIdle;
  } else {
    record->hostedNetworkState = zl::platform::kWlanHostedNetworkActive;
    record->ipDeviceId = ParseGuid(state.adapterGuid);
    for (std::size_t i = 0; i < 6 && i < state.adapterMac.size(); ++i) record->bssid[i] = state.adapterMac[i];
    record->phyType = 7;  // dot11_phy_type_ht
    record->channelFrequency = 2462000;
  }
  *status = record;
  return zl::platform::kErrorSuccess;
}

__attribute__((visibility("default"))) void WlanFreeMemory(void* memory) { std::free(memory); }

}  // extern "C"
