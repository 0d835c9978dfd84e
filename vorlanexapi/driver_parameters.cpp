#include "vorlanexapi/driver_parameters.h"

#include <cstring>

#include "zl/platform/registry.h"

namespace zl::vorlanexapi {

bool WriteDriverParameter(const char* name, std::uint32_t value) {
  platform::RegistryKey key;
  if (key.Create(kDriverParametersKey, platform::kKeySetValue) != 0) return false;
  return key.SetValue(name, platform::MakeDwordValue(value)) == 0;
}

std::uint32_t ReadDriverParameter(const char* name) {
  platform::RegistryKey key;
  if (key.Open(kDriverParametersKey, platform::kKeyQueryValue) != 0) return 0;
  platform::RegistryValue value;
  if (key.QueryValue(name, value) != 0) return 0;
  if (value.type != platform::kRegDword || value.data.size() < sizeof(std::uint32_t)) return 0;
  std::uint32_t number;
  std::memcpy(&number, value.data.data(), sizeof number);  // stored little-endian
  return number;
}

}  // namespace zl::vorlanexapi
