#include "zl/platform/ip_helper.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

#include "machine_keys.h"
#include "zl/platform/errors.h"
#include "zl/platform/machine_state.h"

namespace zl::platform {

using emulated::Hive;
using emulated::HiveKey;

std::uint32_t GetAdaptersInfo(std::vector<AdapterInfo>& adapters) {
  adapters.clear();
  std::uint32_t injected = 0;
  const std::uint32_t status = emulated::ReadMachine([&](const Hive& hive) {
    injected = emulated::Fault(hive, "AdapterListError");
    if (injected) return;
    const HiveKey* root = hive.Root().Find(emulated::kAdaptersKey);
    if (!root) return;
    for (HiveKey* key : const_cast<HiveKey*>(root)->SubKeys()) {
      if (key->Dword("InAdapterList", 1) == 0) continue;
      AdapterInfo info;
      info.adapterName = key->String("Guid");
      info.description = key->String("Description");
      info.address = emulated::BinaryValue(*key, "Mac");
      info.type = key->Dword("Type");
      info.ipAddresses = key->MultiString("Addresses");
      if (info.ipAddresses.empty()) info.ipAddresses.push_back("0.0.0.0");
      adapters.push_back(std::move(info));
    }
  });
  if (status != kErrorSuccess) return kErrorNotSupported;
  if (injected) return injected;
  return adapters.empty() ? kErrorNoData : kErrorSuccess;
}

std::uint32_t InetAddr(const std::string& text) { return inet_addr(text.c_str()); }

std::string InetNtoa(std::uint32_t address) {
  in_addr a{};
  a.s_addr = address;
  return inet_ntoa(a);
}

std::uint32_t SendArp(std::uint32_t destination, std::uint32_t /*source*/, std::uint8_t* buffer, std::uint32_t& length) {
  const std::string target = InetNtoa(destination);
  std::vector<std::uint8_t> answer;
  for (const auto& client : machine::ListClients()) {
    if (client.present && client.address == target) answer = client.mac;
  }
  if (answer.empty()) {
    for (const auto& adapter : machine::ListAdapters()) {
      if (std::find(adapter.addresses.begin(), adapter.addresses.end(), target) != adapter.addresses.end()) {
        answer = adapter.mac;
      }
    }
  }
  if (answer.empty()) {
    length = 0;
    return kErrorBadNetName;
  }
  if (length < answer.size()) {
    length = static_cast<std::uint32_t>(answer.size());
    return kErrorBufferOverflow;
  }
  std::memcpy(buffer, answer.data(), answer.size());
  length = static_cast<std::uint32_t>(answer.size());
  return kErrorSuccess;
}

int StartSocketLibrary(std::uint16_t /*version*/) { return 0; }

bool GetHostByAddress(std::uint32_t address, std::string& name) {
  const std::string target = InetNtoa(address);
  for (const auto& [entry, host] : machine::ListHostNames()) {
    if (entry == target && !host.empty()) {
      name = host;
      return true;
    }
  }
  for (const auto& client : machine::ListClients()) {
    if (client.present && client.address == target && !client.hostName.empty()) {
      name = client.hostName;
      return true;
    }
  }
  return false;
}

}  // namespace zl::platform
