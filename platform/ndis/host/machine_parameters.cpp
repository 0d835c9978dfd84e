#include "zl/ndishost/machine_parameters.h"

#include "zl/platform/errors.h"
#include "zl/platform/registry.h"

namespace zl::ndishost {

bool MachineParameters::KeyExists(const std::string& keyPath) const {
  zl::platform::RegistryKey key;
  return key.Open(keyPath, zl::platform::kKeyQueryValue) == zl::platform::kErrorSuccess;
}

std::optional<RegistryValue> MachineParameters::ReadValue(const std::string& keyPath,
                                                          const std::string& valueName) const {
  zl::platform::RegistryKey key;
  if (key.Open(keyPath, zl::platform::kKeyQueryValue) != zl::platform::kErrorSuccess) return std::nullopt;
  zl::platform::RegistryValue stored;
  if (key.QueryValue(valueName, stored) != zl::platform::kErrorSuccess) return std::nullopt;
  RegistryValue value;
  value.type = ULONG(stored.type);
  value.data.assign(stored.data.begin(), stored.data.end());
  return value;
}

}  // namespace zl::ndishost
