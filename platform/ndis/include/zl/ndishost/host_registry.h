// The registry as the kernel host's RtlQueryRegistryValues sees it.
//
// ParameterProvider is the seam: two questions, asked with a key path below
// HKEY_LOCAL_MACHINE (for example
// "SYSTEM\CurrentControlSet\Services\VORLANEX\Parameters"), matched without
// regard to case. HostRegistry is the in-memory provider tests fill directly; the
// emulated machine's registry plugs in by implementing the same two calls and
// being handed to KernelHost::Registry().SetProvider().
#pragma once

#include <ndis.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zl::ndishost {

struct RegistryValue {
  ULONG type = REG_NONE;
  std::vector<std::uint8_t> data;
};

class ParameterProvider {
 public:
  virtual ~ParameterProvider() = default;
  virtual bool KeyExists(const std::string& keyPath) const = 0;
  virtual std::optional<RegistryValue> ReadValue(const std::string& keyPath,
                                                 const std::string& valueName) const = 0;
};

// Root of the service keys, the base of RTL_REGISTRY_SERVICES.
inline constexpr const char* kServicesRoot = "SYSTEM\\CurrentControlSet\\Services";

class HostRegistry final : public ParameterProvider {
 public:
  void CreateKey(const std::string& keyPath);
  void SetValue(const std::string& keyPath, const std::string& valueName, RegistryValue value);
  void SetDword(const std::string& keyPath, const std::string& valueName, std::uint32_t value);
  void SetString(const std::string& keyPath, const std::string& valueName, const std::string& value);

  bool KeyExists(const std::string& keyPath) const override;
  std::optional<RegistryValue> ReadValue(const std::string& keyPath,
                                         const std::string& valueName) const override;

  // Another provider answers instead of this store (nullptr: this store again).
  void SetProvider(const ParameterProvider* provider);
  const ParameterProvider& Active() const;

 private:
  static std::string Fold(const std::string& text);
  mutable std::mutex mutex_;
  std::set<std::string> keys_;
  std::map<std::pair<std::string, std::string>, RegistryValue> values_;
  const ParameterProvider* provider_ = nullptr;
};

}  // namespace zl::ndishost
