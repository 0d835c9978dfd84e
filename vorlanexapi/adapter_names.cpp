#include "vorlanexapi/adapter_names.h"

#include <cstring>
#include <string>

#include "zl/platform/registry.h"

namespace zl::vorlanexapi {
namespace {

constexpr const char* kNetworkClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";

std::string LastComponent(const char* deviceName) {
  const std::string text = deviceName ? deviceName : "";
  const std::size_t slash = text.find_last_of('\\');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

bool CopyOut(const std::string& text, char* name, std::uint32_t size) {
  if (text.empty() || !name || text.size() + 1 > size) return false;
  std::memcpy(name, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace

bool ConnectionNameOf(const char* deviceName, char* name, std::uint32_t size) {
  const std::string guid = LastComponent(deviceName);
  if (guid.size() < 2 || guid.front() != '{' || guid.back() != '}') return false;
  platform::RegistryKey key;
  if (key.Open(kNetworkClassKey + guid + "\\Connection", platform::kKeyQueryValue) != 0) return false;
  platform::RegistryValue value;
  if (key.QueryValue("Name", value) != 0) return false;
  if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz) return false;
  return CopyOut(platform::StringFromValue(value), name, size);
}

bool DeviceComponentOf(const char* deviceName, char* name, std::uint32_t size) {
  return CopyOut(LastComponent(deviceName), name, size);
}

}  // namespace zl::vorlanexapi
