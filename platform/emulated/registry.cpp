#include "zl/platform/registry.h"

#include "machine_store.h"
#include "zl/platform/errors.h"

namespace zl::platform {

using emulated::Hive;
using emulated::HiveKey;

namespace {

constexpr std::uint32_t kWriteRights = kKeySetValue | kKeyCreateSubKey;

// A registry made read-only by the machine's fault settings refuses writes
// as it would refuse a process without administrator rights.
bool RegistryReadOnly(const Hive& hive) {
  const HiveKey* faults = hive.Root().Find(std::string(emulated::kMachineKey) + "\\Faults");
  return faults && faults->Dword("RegistryReadOnly") != 0;
}

std::uint32_t CheckWritable() {
  if (!emulated::MachineWritable()) return kErrorAccessDenied;
  bool readOnly = false;
  const std::uint32_t status = emulated::ReadMachine([&](const Hive& hive) { readOnly = RegistryReadOnly(hive); });
  if (status != kErrorSuccess) return status;
  return readOnly ? kErrorAccessDenied : kErrorSuccess;
}

}  // namespace

struct RegistryKey::Impl {
  std::string path;
  std::uint32_t access = 0;
};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;

bool RegistryKey::IsOpen() const { return impl_ != nullptr; }
void RegistryKey::Close() { impl_.reset(); }

std::uint32_t RegistryKey::Open(const std::string& path, std::uint32_t access) {
  Close();
  if (access & kWriteRights) {
    if (const std::uint32_t status = CheckWritable(); status != kErrorSuccess) return status;
  }
  bool found = false;
  const std::uint32_t status = emulated::ReadMachine([&](const Hive& hive) { found = hive.Root().Find(path) != nullptr; });
  if (status != kErrorSuccess) return status;
  if (!found) return kErrorFileNotFound;
  impl_ = std::make_unique<Impl>(Impl{path, access});
  return kErrorSuccess;
}

std::uint32_t RegistryKey::Create(const std::string& path, std::uint32_t access) {
  Close();
  if (const std::uint32_t status = CheckWritable(); status != kErrorSuccess) return status;
  const std::uint32_t status = emulated::UpdateMachine([&](Hive& hive) {
    if (hive.Root().Find(path)) return false;
    hive.Root().FindOrCreate(path);
    return true;
  });
  if (status != kErrorSuccess) return status;
  impl_ = std::make_unique<Impl>(Impl{path, access});
  return kErrorSuccess;
}

std::uint32_t RegistryKey::QueryValue(const std::string& name, RegistryValue& value) const {
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kKeyQueryValue)) return kErrorAccessDenied;
  std::uint32_t result = kErrorFileNotFound;
  const std::uint32_t status = emulated::ReadMachine([&](const Hive& hive) {
    const HiveKey* key = hive.Root().Find(impl_->path);
    if (!key) {
      result = kErrorFileNotFound;  // deleted since it was opened
      return;
    }
    if (const auto* stored = key->Value(name)) {
      value = {stored->type, stored->data};
      result = kErrorSuccess;
    }
  });
  return status != kErrorSuccess ? status : result;
}

std::uint32_t RegistryKey::SetValue(const std::string& name, const RegistryValue& value) {
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kKeySetValue)) return kErrorAccessDenied;
  if (const std::uint32_t status = CheckWritable(); status != kErrorSuccess) return status;
  std::uint32_t result = kErrorSuccess;
  const std::uint32_t status = emulated::UpdateMachine([&](Hive& hive) {
    HiveKey* key = hive.Root().Find(impl_->path);
    if (!key) {
      result = kErrorFileNotFound;
      return false;
    }
    key->SetValue(name, value.type, value.data);
    return true;
  });
  return status != kErrorSuccess ? status : result;
}

std::uint32_t RegistryKey::DeleteValue(const std::string& name) {
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kKeySetValue)) return kErrorAccessDenied;
  if (const std::uint32_t status = CheckWritable(); status != kErrorSuccess) return status;
  std::uint32_t result = kErrorSuccess;
  const std::uint32_t status = emulated::UpdateMachine([&](Hive& hive) {
    HiveKey* key = hive.Root().Find(impl_->path);
    result = key && key->DeleteValue(name) ? kErrorSuccess : kErrorFileNotFound;
    return result == kErrorSuccess;
  });
  return status != kErrorSuccess ? status : result;
}

std::uint32_t RegistryKey::EnumerateSubKeys(std::vector<std::string>& names) const {
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kKeyEnumerateSubKeys)) return kErrorAccessDenied;
  std::uint32_t result = kErrorFileNotFound;
  const std::uint32_t status = emulated::ReadMachine([&](const Hive& hive) {
    if (const HiveKey* key = hive.Root().Find(impl_->path)) {
      names = key->SubKeyNames();
      result = kErrorSuccess;
    }
  });
  return status != kErrorSuccess ? status : result;
}

std::uint32_t RegistryKey::EnumerateValues(std::vector<std::string>& names) const {
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kKeyQueryValue)) return kErrorAccessDenied;
  std::uint32_t result = kErrorFileNotFound;
  const std::uint32_t status = emulated::ReadMachine([&](const Hive& hive) {
    if (const HiveKey* key = hive.Root().Find(impl_->path)) {
      names.clear();
      for (const auto* value : key->Values()) names.push_back(value->name);
      result = kErrorSuccess;
    }
  });
  return status != kErrorSuccess ? status : result;
}

std::uint32_t RegistryKey::DeleteSubKeyTree(const std::string& subKey) {
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kKeySetValue)) return kErrorAccessDenied;
  if (const std::uint32_t status = CheckWritable(); status != kErrorSuccess) return status;
  const auto names = emulated::SplitKeyPath(subKey);
  if (names.empty()) return kErrorInvalidParameter;
  std::uint32_t result = kErrorSuccess;
  const std::uint32_t status = emulated::UpdateMachine([&](Hive& hive) {
    std::string parentPath = impl_->path;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) parentPath += "\\" + names[i];
    HiveKey* parent = hive.Root().Find(parentPath);
    result = parent && parent->DeleteSubKey(names.back()) ? kErrorSuccess : kErrorFileNotFound;
    return result == kErrorSuccess;
  });
  return status != kErrorSuccess ? status : result;
}

}  // namespace zl::platform
