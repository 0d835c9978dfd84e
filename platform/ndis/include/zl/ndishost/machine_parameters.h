// The emulated machine's registry as the kernel host's parameter provider:
// RtlQueryRegistryValues then reads the driver's "Parameters" under its
// service key ("SYSTEM\CurrentControlSet\Services\VORLANEX\Parameters") from
// the machine's hive, as every other process of the machine sees it.
#pragma once

#include "zl/ndishost/host_registry.h"

namespace zl::ndishost {

class MachineParameters final : public ParameterProvider {
 public:
  bool KeyExists(const std::string& keyPath) const override;
  std::optional<RegistryValue> ReadValue(const std::string& keyPath, const std::string& valueName) const override;
};

}  // namespace zl::ndishost
