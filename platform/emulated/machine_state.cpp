#include "zl/platform/machine_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "machine_keys.h"
#include "zl/platform/clock_rate.h"
#include "zl/platform/errors.h"
#include "zl/platform/registry.h"

namespace zl::platform::emulated {

std::uint32_t Fault(const Hive& hive, const std::string& name) {
  const auto slash = name.rfind('\\');
  const std::string subKey = slash == std::string::npos ? "" : "\\" + name.substr(0, slash);
  const HiveKey* key = hive.Root().Find(kFaultsKey + subKey);
  return key ? key->Dword(slash == std::string::npos ? name : name.substr(slash + 1)) : 0;
}

std::vector<std::string> FaultText(const Hive& hive, const std::string& name) {
  const auto slash = name.rfind('\\');
  const std::string subKey = slash == std::string::npos ? "" : "\\" + name.substr(0, slash);
  const HiveKey* key = hive.Root().Find(kFaultsKey + subKey);
  return key ? key->MultiString(slash == std::string::npos ? name : name.substr(slash + 1)) : std::vector<std::string>{};
}

std::uint32_t ReadFault(const std::string& name) {
  std::uint32_t value = 0;
  ReadMachine([&](const Hive& hive) { value = Fault(hive, name); });
  return value;
}

std::string BinaryOf(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::vector<std::uint8_t> BytesOf(const std::string& data) { return std::vector<std::uint8_t>(data.begin(), data.end()); }

std::vector<std::uint8_t> BinaryValue(const HiveKey& key, const std::string& name) {
  const HiveValue* value = key.Value(name);
  return value ? BytesOf(value->data) : std::vector<std::uint8_t>{};
}

std::string NextSlotName(const HiveKey* list) {
  unsigned long highest = 0;
  if (list) {
    for (const std::string& name : list->SubKeyNames()) highest = std::max(highest, std::strtoul(name.c_str(), nullptr, 10));
  }
  char slot[16];
  std::snprintf(slot, sizeof slot, "%04lu", highest + 1);
  return slot;
}

std::string ConnectionNameOf(const Hive& hive, const std::string& guid) {
  const HiveKey* key = hive.Root().Find(std::string(machine::kNetworkClassKey) + "\\" + guid + "\\Connection");
  return key ? key->String("Name") : std::string();
}

void SetConnectionName(Hive& hive, const std::string& guid, const std::string& name) {
  HiveKey& key = hive.Root().FindOrCreate(std::string(machine::kNetworkClassKey) + "\\" + guid + "\\Connection");
  key.SetString("Name", name);
  key.SetString("PnpInstanceID", "ROOT\\NET\\" + guid.substr(1, 8));
}

}  // namespace zl::platform::emulated

namespace zl::platform::machine {

using emulated::Hive;
using emulated::HiveKey;
using emulated::ReadMachine;
using emulated::UpdateMachine;

std::string FormatMac(const std::vector<std::uint8_t>& mac) {
  std::string text;
  char part[4];
  for (std::uint8_t b : mac) {
    std::snprintf(part, sizeof part, "%02X-", b);
    text += part;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

bool ParseMac(const std::string& text, std::vector<std::uint8_t>& mac) {
  mac.clear();
  std::string digits;
  for (char c : text) {
    if (c == '-' || c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    digits += c;
  }
  if (digits.size() != 12) return false;
  for (std::size_t i = 0; i < 12; i += 2) mac.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return true;
}

std::string NewGuid() {
  std::random_device device;
  std::uniform_int_distribution<int> byte(0, 255);
  unsigned char b[16];
  for (auto& x : b) x = static_cast<unsigned char>(byte(device));
  char text[40];
  std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0], b[1], b[2],
                b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

namespace {

AdapterRecord ReadAdapter(const Hive& hive, const HiveKey& key) {
  AdapterRecord adapter;
  adapter.guid = key.String("Guid");
  adapter.description = key.String("Description");
  adapter.type = key.Dword("Type", kAdapterTypeEthernet);
  adapter.mac = emulated::BinaryValue(key, "Mac");
  adapter.addresses = key.MultiString("Addresses");
  adapter.hosted = key.Dword("Hosted") != 0;
  adapter.inAdapterList = key.Dword("InAdapterList", 1) != 0;
  adapter.connectionName = emulated::ConnectionNameOf(hive, adapter.guid);
  return adapter;
}

HiveKey* FindAdapterKey(Hive& hive, const std::string& guid) {
  HiveKey* adapters = hive.Root().Find(emulated::kAdaptersKey);
  if (!adapters) return nullptr;
  for (HiveKey* key : adapters->SubKeys()) {
    if (emulated::FoldCase(key->String("Guid")) == emulated::FoldCase(guid)) return key;
  }
  return nullptr;
}

void WriteAdapter(Hive& hive, const AdapterRecord& adapter) {
  HiveKey& key = hive.Root().FindOrCreate(emulated::kAdaptersKey + "\\" + emulated::NextSlotName(hive.Root().Find(emulated::kAdaptersKey)));
  key.SetString("Guid", adapter.guid);
  key.SetString("Description", adapter.description);
  key.SetDword("Type", adapter.type);
  key.SetValue("Mac", kRegBinary, emulated::BinaryOf(adapter.mac));
  key.SetMultiString("Addresses", adapter.addresses);
  key.SetDword("Hosted", adapter.hosted ? 1 : 0);
  key.SetDword("InAdapterList", adapter.inAdapterList ? 1 : 0);
  if (!adapter.connectionName.empty()) emulated::SetConnectionName(hive, adapter.guid, adapter.connectionName);
}

bool Update(const std::function<bool(Hive&)>& writer) { return UpdateMachine(writer) == kErrorSuccess; }

void SplitFaultName(const std::string& name, std::string& keyPath, std::string& valueName) {
  const auto slash = name.rfind('\\');
  keyPath = emulated::kFaultsKey + (slash == std::string::npos ? "" : "\\" + name.substr(0, slash));
  valueName = slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

std::vector<AdapterRecord> ListAdapters() {
  std::vector<AdapterRecord> adapters;
  ReadMachine([&](const Hive& hive) {
    const HiveKey* root = hive.Root().Find(emulated::kAdaptersKey);
    if (!root) return;
    for (HiveKey* key : const_cast<HiveKey*>(root)->SubKeys()) adapters.push_back(ReadAdapter(hive, *key));
  });
  return adapters;
}

bool AddAdapter(AdapterRecord adapter) {
  if (adapter.guid.empty()) adapter.guid = NewGuid();
  bool added = false;
  return Update([&](Hive& hive) {
           if (FindAdapterKey(hive, adapter.guid)) return false;
           WriteAdapter(hive, adapter);
           added = true;
           return true;
         }) &&
         added;
}

bool RemoveAdapter(const std::string& guid) {
  bool removed = false;
  const bool ok = Update([&](Hive& hive) {
    HiveKey* adapters = hive.Root().Find(emulated::kAdaptersKey);
    if (!adapters) return false;
    for (const std::string& slot : adapters->SubKeyNames()) {
      if (emulated::FoldCase(adapters->Find(slot)->String("Guid")) == emulated::FoldCase(guid)) {
        removed = adapters->DeleteSubKey(slot);
        return true;
      }
    }
    return false;
  });
  return ok && removed;
}

bool SetAdapterAddresses(const std::string& guid, const std::vector<std::string>& addresses) {
  bool found = false;
  return Update([&](Hive& hive) {
           HiveKey* key = FindAdapterKey(hive, guid);
           if (!key) return false;
           key->SetMultiString("Addresses", addresses);
           found = true;
           return true;
         }) &&
         found;
}

std::vector<ClientRecord> ListClients() {
  std::vector<ClientRecord> clients;
  ReadMachine([&](const Hive& hive) {
    const HiveKey* root = hive.Root().Find(emulated::kClientsKey);
    if (!root) return;
    for (HiveKey* key : const_cast<HiveKey*>(root)->SubKeys()) {
      ClientRecord client;
      ParseMac(key->Name(), client.mac);
      client.address = key->String("Address");
      client.hostName = key->String("HostName");
      client.present = key->Dword("Present", 1) != 0;
      clients.push_back(client);
    }
  });
  return clients;
}

bool SetClient(const ClientRecord& client) {
  if (client.mac.size() != 6) return false;
  return Update([&](Hive& hive) {
    HiveKey& key = hive.Root().FindOrCreate(emulated::kClientsKey + "\\" + FormatMac(client.mac));
    key.SetString("Address", client.address);
    key.SetString("HostName", client.hostName);
    key.SetDword("Present", client.present ? 1 : 0);
    return true;
  });
}

bool RemoveClient(const std::vector<std::uint8_t>& mac) {
  bool removed = false;
  return Update([&](Hive& hive) {
           HiveKey* root = hive.Root().Find(emulated::kClientsKey);
           removed = root && root->DeleteSubKey(FormatMac(mac));
           return removed;
         }) &&
         removed;
}

bool SetClientPresent(const std::vector<std::uint8_t>& mac, bool present) {
  bool found = false;
  return Update([&](Hive& hive) {
           HiveKey* key = hive.Root().Find(emulated::kClientsKey + "\\" + FormatMac(mac));
           if (!key) return false;
           key->SetDword("Present", present ? 1 : 0);
           found = true;
           return true;
         }) &&
         found;
}

bool SetHostName(const std::string& address, const std::string& name) {
  return Update([&](Hive& hive) {
    hive.Root().FindOrCreate(emulated::kHostsKey).SetString(address, name);
    return true;
  });
}

bool RemoveHostName(const std::string& address) {
  bool removed = false;
  return Update([&](Hive& hive) {
           HiveKey* hosts = hive.Root().Find(emulated::kHostsKey);
           removed = hosts && hosts->DeleteValue(address);
           return removed;
         }) &&
         removed;
}

std::vector<std::pair<std::string, std::string>> ListHostNames() {
  std::vector<std::pair<std::string, std::string>> names;
  ReadMachine([&](const Hive& hive) {
    if (const HiveKey* hosts = hive.Root().Find(emulated::kHostsKey)) {
      for (const auto* value : hosts->Values()) names.emplace_back(value->name, hosts->String(value->name));
    }
  });
  return names;
}

std::vector<FirewallApplication> ListFirewallApplications() {
  std::vector<FirewallApplication> applications;
  ReadMachine([&](const Hive& hive) {
    const HiveKey* root = hive.Root().Find(emulated::kFirewallKey);
    if (!root) return;
    for (HiveKey* key : const_cast<HiveKey*>(root)->SubKeys()) {
      FirewallApplication app;
      app.name = key->String("Name");
      app.processImageFileName = key->String("ProcessImageFileName");
      app.scope = static_cast<std::int32_t>(key->Dword("Scope"));
      app.ipVersion = static_cast<std::int32_t>(key->Dword("IpVersion"));
      app.enabled = key->Dword("Enabled") != 0;
      applications.push_back(app);
    }
  });
  return applications;
}

bool SetFault(const std::string& name, std::uint32_t value) {
  std::string keyPath, valueName;
  SplitFaultName(name, keyPath, valueName);
  return Update([&](Hive& hive) {
    if (value == 0) {
      HiveKey* key = hive.Root().Find(keyPath);
      return key && key->DeleteValue(valueName);
    }
    hive.Root().FindOrCreate(keyPath).SetDword(valueName, value);
    return true;
  });
}

bool SetFaultText(const std::string& name, const std::vector<std::string>& lines) {
  std::string keyPath, valueName;
  SplitFaultName(name, keyPath, valueName);
  return Update([&](Hive& hive) {
    if (lines.empty()) {
      HiveKey* key = hive.Root().Find(keyPath);
      return key && key->DeleteValue(valueName);
    }
    hive.Root().FindOrCreate(keyPath).SetMultiString(valueName, lines);
    return true;
  });
}

bool SetClockRate(std::uint32_t rate) {
  if (rate < 1 || rate > kMaxClockRate) return false;
  return Update([&](Hive& hive) {
    HiveKey& key = hive.Root().FindOrCreate(emulated::kMachineKey);
    if (rate == 1) {
      key.DeleteValue(emulated::kClockRateValue);
    } else {
      key.SetDword(emulated::kClockRateValue, rate);
    }
    return true;
  });
}

}  // namespace zl::platform::machine
