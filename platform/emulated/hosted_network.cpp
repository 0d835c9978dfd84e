// The hosted wireless network of the emulated machine: its settings as netsh
// keeps them, and the virtual adapter that exists while it is started.
#include <algorithm>

#include "machine_keys.h"
#include "zl/platform/errors.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/registry.h"

namespace zl::platform::machine {
namespace {

using emulated::Hive;
using emulated::HiveKey;

constexpr const char* kVirtualAdapterDescription = "Microsoft Virtual WiFi Miniport Adapter";

HostedNetworkState ReadState(const HiveKey& key) {
  HostedNetworkState state;
  state.supported = key.Dword("Supported", 1) != 0;
  state.allowed = key.Dword("Allowed") != 0;
  state.ssid = key.String("Ssid");
  state.key = key.String("Key");
  state.persistentKey = key.Dword("KeyPersistent") != 0;
  state.started = key.Dword("Started") != 0;
  state.adapterGuid = key.String("AdapterGuid");
  state.adapterMac = emulated::BinaryValue(key, "AdapterMac");
  return state;
}

// The virtual adapter's address is the first wireless adapter's with the
// locally administered bit set, as the platform derives it.
std::vector<std::uint8_t> VirtualAdapterMac(Hive& hive, const std::string& guid) {
  if (HiveKey* adapters = hive.Root().Find(emulated::kAdaptersKey)) {
    for (HiveKey* key : adapters->SubKeys()) {
      auto mac = emulated::BinaryValue(*key, "Mac");
      if (key->Dword("Type") == kAdapterTypeWireless && key->Dword("Hosted") == 0 && mac.size() == 6) {
        mac[0] |= 0x02;
        return mac;
      }
    }
  }
  std::vector<std::uint8_t> mac{0x02};
  for (std::size_t i = 1; i < guid.size() && mac.size() < 6; i += 2) {
    if (std::isxdigit(static_cast<unsigned char>(guid[i])) && std::isxdigit(static_cast<unsigned char>(guid[i + 1]))) {
      mac.push_back(static_cast<std::uint8_t>(std::stoi(guid.substr(i, 2), nullptr, 16)));
    }
  }
  return mac;
}

void RemoveVirtualAdapter(Hive& hive) {
  HiveKey* adapters = hive.Root().Find(emulated::kAdaptersKey);
  if (!adapters) return;
  for (const std::string& slot : adapters->SubKeyNames()) {
    if (adapters->Find(slot)->Dword("Hosted") != 0) adapters->DeleteSubKey(slot);
  }
}

void AddVirtualAdapter(Hive& hive, HiveKey& hosted) {
  std::string guid = hosted.String("AdapterGuid");
  if (guid.empty()) {
    guid = NewGuid();
    hosted.SetString("AdapterGuid", guid);
  }
  auto mac = emulated::BinaryValue(hosted, "AdapterMac");
  if (mac.size() != 6) {
    mac = VirtualAdapterMac(hive, guid);
    hosted.SetValue("AdapterMac", kRegBinary, emulated::BinaryOf(mac));
  }
  HiveKey& key = hive.Root().FindOrCreate(emulated::kAdaptersKey + "\\" +
                                           emulated::NextSlotName(hive.Root().Find(emulated::kAdaptersKey)));
  key.SetString("Guid", guid);
  key.SetString("Description", kVirtualAdapterDescription);
  key.SetDword("Type", kAdapterTypeWireless);
  key.SetValue("Mac", kRegBinary, emulated::BinaryOf(mac));
  key.SetMultiString("Addresses", {kHostedNetworkAddress});
  key.SetDword("Hosted", 1);
  key.SetDword("InAdapterList", 1);
  // The connection keeps its name between starts, as the platform keeps it.
  if (emulated::ConnectionNameOf(hive, guid).empty()) {
    emulated::SetConnectionName(hive, guid, hosted.String("ConnectionName", "Drahtlosnetzwerkverbindung 2"));
  }
}

HostedResult Change(const std::function<HostedResult(Hive&, HiveKey&)>& change) {
  HostedResult result = HostedResult::Ok;
  const std::uint32_t status = emulated::UpdateMachine([&](Hive& hive) {
    HiveKey& hosted = hive.Root().FindOrCreate(emulated::kHostedNetworkKey);
    result = change(hive, hosted);
    return result == HostedResult::Ok;
  });
  return status == kErrorSuccess ? result : HostedResult::NoMachine;
}

}  // namespace

HostedNetworkState ReadHostedNetwork() {
  HostedNetworkState state;
  emulated::ReadMachine([&](const Hive& hive) {
    if (const HiveKey* key = hive.Root().Find(emulated::kHostedNetworkKey)) state = ReadState(*key);
  });
  return state;
}

HostedResult SetHostedNetworkMode(bool allowed) {
  return Change([&](Hive& hive, HiveKey& hosted) {
    hosted.SetDword("Allowed", allowed ? 1 : 0);
    if (!allowed && hosted.Dword("Started")) {
      hosted.SetDword("Started", 0);
      RemoveVirtualAdapter(hive);
    }
    return HostedResult::Ok;
  });
}

HostedResult SetHostedNetworkSsid(const std::string& ssid) {
  return Change([&](Hive&, HiveKey& hosted) {
    hosted.SetString("Ssid", ssid);
    return HostedResult::Ok;
  });
}

HostedResult SetHostedNetworkKey(const std::string& key, bool persistent) {
  return Change([&](Hive&, HiveKey& hosted) {
    hosted.SetString("Key", key);
    hosted.SetDword("KeyPersistent", persistent ? 1 : 0);
    return HostedResult::Ok;
  });
}

HostedResult StartHostedNetwork() {
  return Change([&](Hive& hive, HiveKey& hosted) {
    if (hosted.Dword("Supported", 1) == 0) return HostedResult::NotSupported;
    if (hosted.Dword("Allowed") == 0) return HostedResult::Disallowed;
    if (hosted.String("Ssid").empty() || hosted.String("Key").empty()) return HostedResult::NotConfigured;
    if (hosted.Dword("Started") == 0) {
      hosted.SetDword("Started", 1);
      AddVirtualAdapter(hive, hosted);
    }
    return HostedResult::Ok;
  });
}

HostedResult StopHostedNetwork() {
  return Change([&](Hive& hive, HiveKey& hosted) {
    if (hosted.Dword("Supported", 1) == 0) return HostedResult::NotSupported;
    if (hosted.Dword("Allowed") == 0) return HostedResult::Disallowed;
    hosted.SetDword("Started", 0);
    RemoveVirtualAdapter(hive);
    return HostedResult::Ok;
  });
}

}  // namespace zl::platform::machine
