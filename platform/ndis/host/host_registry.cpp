#include "zl/ndishost/host_registry.h"

#include <cctype>

namespace zl::ndishost {

std::string HostRegistry::Fold(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = char(std::tolower(static_cast<unsigned char>(c)));
  while (!folded.empty() && folded.back() == '\\') folded.pop_back();
  return folded;
}

void HostRegistry::CreateKey(const std::string& keyPath) {
  std::lock_guard lock(mutex_);
  // Every parent of a key exists as well.
  std::string folded = Fold(keyPath);
  for (std::size_t pos = folded.find('\\'); pos != std::string::npos; pos = folded.find('\\', pos + 1)) {
    keys_.insert(folded.substr(0, pos));
  }
  keys_.insert(folded);
}

void HostRegistry::SetValue(const std::string& keyPath, const std::string& valueName, RegistryValue value) {
  CreateKey(keyPath);
  std::lock_guard lock(mutex_);
  values_[{Fold(keyPath), Fold(valueName)}] = std::move(value);
}

void HostRegistry::SetDword(const std::string& keyPath, const std::string& valueName, std::uint32_t value) {
  RegistryValue stored{REG_DWORD, {}};
  for (int i = 0; i < 4; ++i) stored.data.push_back(std::uint8_t(value >> (8 * i)));
  SetValue(keyPath, valueName, std::move(stored));
}

void HostRegistry::SetString(const std::string& keyPath, const std::string& valueName, const std::string& value) {
  RegistryValue stored{REG_SZ, {}};
  for (unsigned char c : value) {
    stored.data.push_back(c);
    stored.data.push_back(0);
  }
  stored.data.push_back(0);
  stored.data.push_back(0);
  SetValue(keyPath, valueName, std::move(stored));
}

bool HostRegistry::KeyExists(const std::string& keyPath) const {
  std::lock_guard lock(mutex_);
  if (provider_ != nullptr) return provider_->KeyExists(keyPath);
  return keys_.count(Fold(keyPath)) != 0;
}

std::optional<RegistryValue> HostRegistry::ReadValue(const std::string& keyPath,
                                                     const std::string& valueName) const {
  std::lock_guard lock(mutex_);
  if (provider_ != nullptr) return provider_->ReadValue(keyPath, valueName);
  auto it = values_.find({Fold(keyPath), Fold(valueName)});
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void HostRegistry::SetProvider(const ParameterProvider* provider) {
  std::lock_guard lock(mutex_);
  provider_ = provider;
}

const ParameterProvider& HostRegistry::Active() const {
  std::lock_guard lock(mutex_);
  return provider_ != nullptr ? *provider_ : *this;
}

}  // namespace zl::ndishost
