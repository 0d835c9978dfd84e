#include "shared/netquery/adapter_queries.h"

#include <cstdio>
#include <functional>

#include "shared/netquery/wlan_status.h"
#include "shared/support/trim.h"
#include "zl/platform/ip_helper.h"
#include "zl/platform/registry.h"

namespace zl::netquery {
namespace {

constexpr const char* kNetworkClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";

struct WalkedAdapter {
  const platform::AdapterInfo& info;
  std::string connectionName;
};

// Each adapter's name is read on its own: an adapter whose key cannot be
// opened gets the empty name, never the previous adapter's.
std::string ReadConnectionName(const std::string& adapterName) {
  platform::RegistryKey key;
  if (key.Open(kNetworkClassKey + adapterName + "\\Connection", platform::kKeyRead) != 0) return {};
  platform::RegistryValue value;
  if (key.QueryValue("Name", value) != 0) return {};
  if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz) return {};
  return platform::StringFromValue(value);
}

// Calls `visit` for each adapter in list order until it returns false.
void WalkAdapters(const std::function<bool(const WalkedAdapter&)>& visit) {
  std::vector<platform::AdapterInfo> adapters;
  if (platform::GetAdaptersInfo(adapters) != 0) return;
  for (const auto& info : adapters) {
    if (!visit(WalkedAdapter{info, ReadConnectionName(info.adapterName)})) return;
  }
}

std::string FirstAddress(const platform::AdapterInfo& info) {
  return info.ipAddresses.empty() ? std::string("0.0.0.0") : info.ipAddresses.front();
}

std::string AdapterMac(const std::vector<std::uint8_t>& address) {
  if (address.size() < 6) return {};
  char text[18];
  std::snprintf(text, sizeof text, "%2.2X-%2.2X-%2.2X-%2.2X-%2.2X-%2.2X", address[0], address[1], address[2], address[3],
                address[4], address[5]);
  return text;
}

}  // namespace

void GetInternetConnections(std::vector<std::string>& Names, std::vector<std::string>& Addresses) {
  try {
    WalkAdapters([&](const WalkedAdapter& adapter) {
      const bool candidateType = adapter.info.type == kAdapterTypeEthernet || adapter.info.type == kAdapterTypeWireless;
      if (candidateType && !Trim(adapter.connectionName).empty() && !IsHostedNetworkAdapter(adapter.info.adapterName)) {
        Names.push_back(adapter.connectionName);
        Addresses.push_back(FirstAddress(adapter.info));
      }
      return true;
    });
  } catch (...) {
    // The lists keep what was appended; nothing is reported.
  }
}

void GetHostedNetworkAdapter(TNetWorkAdapterRec& adapter) {
  adapter = TNetWorkAdapterRec{};
  try {
    WalkAdapters([&](const WalkedAdapter& walked) {
      if (walked.info.type != kAdapterTypeWireless || Trim(walked.connectionName).empty() ||
          !IsHostedNetworkAdapter(walked.info.adapterName)) {
        return true;
      }
      adapter.ConnectionName = walked.connectionName;
      adapter.IPAddress = FirstAddress(walked.info);
      adapter.AdapterName = walked.info.adapterName;
      adapter.MACAddress = AdapterMac(walked.info.address);
      return false;
    });
  } catch (...) {
    adapter = TNetWorkAdapterRec{};
  }
}

std::string GetHostedNetworkMAC() {
  TNetWorkAdapterRec adapter;
  GetHostedNetworkAdapter(adapter);
  return adapter.MACAddress;
}

std::string GetHostedNetworkConnectionName() {
  TNetWorkAdapterRec adapter;
  GetHostedNetworkAdapter(adapter);
  return adapter.ConnectionName;
}

std::string GetHostedNetworkAdapterName() {
  TNetWorkAdapterRec adapter;
  GetHostedNetworkAdapter(adapter);
  return adapter.AdapterName;
}

}  // namespace zl::netquery
