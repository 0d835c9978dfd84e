// The entry points of the wireless LAN library ("Wlanapi.dll") used by the
// hosted-network status query, with the records they exchange. The library is
// loaded at run time (dynamic_library.h); these are the shapes of its exports.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define ZL_WINAPI __stdcall
#else
#define ZL_WINAPI
#endif

namespace zl::platform {

struct WlanGuid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// WLAN_HOSTED_NETWORK_STATE
enum WlanHostedNetworkState : std::int32_t {
  kWlanHostedNetworkUnavailable = 0,
  kWlanHostedNetworkIdle = 1,
  kWlanHostedNetworkActive = 2,
};

struct WlanHostedNetworkPeerState {
  std::uint8_t peerMacAddress[6];
  std::int32_t peerAuthState;
};

// WLAN_HOSTED_NETWORK_STATUS: the device GUID identifies the hosted
// network's virtual adapter while the network is active.
struct WlanHostedNetworkStatus {
  std::int32_t hostedNetworkState;
  WlanGuid ipDeviceId;
  std::uint8_t bssid[6];
  std::int32_t phyType;
  std::uint32_t channelFrequency;
  std::uint32_t numberOfPeers;
  WlanHostedNetworkPeerState peerList[1];
};

using WlanClientHandle = void*;

extern "C" {
using WlanOpenHandleFunction = std::uint32_t(ZL_WINAPI*)(std::uint32_t clientVersion, void* reserved,
                                                         std::uint32_t* negotiatedVersion, WlanClientHandle* client);
using WlanHostedNetworkQueryStatusFunction = std::uint32_t(ZL_WINAPI*)(WlanClientHandle client,
                                                                       WlanHostedNetworkStatus** status, void* reserved);
using WlanFreeMemoryFunction = void(ZL_WINAPI*)(void* memory);
using WlanCloseHandleFunction = std::uint32_t(ZL_WINAPI*)(WlanClientHandle client, void* reserved);
}

inline constexpr const char* kWlanLibraryName = "Wlanapi.dll";

}  // namespace zl::platform
