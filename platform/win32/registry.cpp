// The registry of the local machine through the wide registry calls; key and
// value names and string data are converted from and to code page 1252.
#include "zl/platform/registry.h"

#include <windows.h>

#include <algorithm>

#include "text.h"
#include "zl/platform/errors.h"

namespace zl::platform {

using win32::Narrow;
using win32::Widen;

struct RegistryKey::Impl {
  HKEY key = nullptr;
};

RegistryKey::RegistryKey() : impl_(std::make_unique<Impl>()) {}
RegistryKey::~RegistryKey() { Close(); }
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Close();
    impl_ = std::move(other.impl_);
  }
  return *this;
}

std::uint32_t RegistryKey::Open(const std::string& path, std::uint32_t access) {
  Close();
  if (!impl_) impl_ = std::make_unique<Impl>();
  return static_cast<std::uint32_t>(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), 0, access, &impl_->key));
}

std::uint32_t RegistryKey::Create(const std::string& path, std::uint32_t access) {
  Close();
  if (!impl_) impl_ = std::make_unique<Impl>();
  return static_cast<std::uint32_t>(RegCreateKeyExW(HKEY_LOCAL_MACHINE, Widen(path).c_str(), 0, nullptr,
                                                    REG_OPTION_NON_VOLATILE, access, nullptr, &impl_->key, nullptr));
}

bool RegistryKey::IsOpen() const { return impl_ && impl_->key != nullptr; }

void RegistryKey::Close() {
  if (IsOpen()) {
    RegCloseKey(impl_->key);
    impl_->key = nullptr;
  }
}

namespace {

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

}  // namespace

std::uint32_t RegistryKey::QueryValue(const std::string& name, RegistryValue& value) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  const std::wstring wideName = Widen(name);
  // The value may change between sizing and reading; ask again while it grows.
  std::string buffer;
  DWORD type = REG_NONE;
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    LONG rc = RegQueryValueExW(impl_->key, wideName.c_str(), nullptr, &type,
                               buffer.empty() ? nullptr : reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && buffer.empty() && size > 0)) {
      buffer.resize(size + 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) return static_cast<std::uint32_t>(rc);
    buffer.resize(size);
    break;
  }
  value.type = type;
  if (IsTextType(type)) {
    // UTF-16 as stored, to code page 1252 with the same zero terminators.
    std::wstring wide(buffer.size() / sizeof(wchar_t), L'\0');
    std::copy_n(buffer.data(), wide.size() * sizeof(wchar_t), reinterpret_cast<char*>(wide.data()));
    value.data = Narrow(wide);
  } else {
    value.data = std::move(buffer);
  }
  return kErrorSuccess;
}

std::uint32_t RegistryKey::SetValue(const std::string& name, const RegistryValue& value) {
  if (!IsOpen()) return kErrorInvalidHandle;
  std::wstring wide;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(value.data.data());
  DWORD size = static_cast<DWORD>(value.data.size());
  if (IsTextType(value.type)) {
    wide = Widen(value.data);
    bytes = reinterpret_cast<const BYTE*>(wide.data());
    size = static_cast<DWORD>(wide.size() * sizeof(wchar_t));
  }
  return static_cast<std::uint32_t>(RegSetValueExW(impl_->key, Widen(name).c_str(), 0, value.type, bytes, size));
}

std::uint32_t RegistryKey::DeleteValue(const std::string& name) {
  if (!IsOpen()) return kErrorInvalidHandle;
  return static_cast<std::uint32_t>(RegDeleteValueW(impl_->key, Widen(name).c_str()));
}

std::uint32_t RegistryKey::EnumerateSubKeys(std::vector<std::string>& names) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  names.clear();
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];  // key names are at most 255 characters
    DWORD length = 256;
    const LONG rc = RegEnumKeyExW(impl_->key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return static_cast<std::uint32_t>(rc);
    names.push_back(Narrow(name, length));
  }
  // The registry returns them in its own order; callers are promised the alphabetical one.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
  });
  return kErrorSuccess;
}

std::uint32_t RegistryKey::EnumerateValues(std::vector<std::string>& names) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  names.clear();
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];  // value names are at most 16383 characters
    DWORD length = 16384;
    const LONG rc = RegEnumValueW(impl_->key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return static_cast<std::uint32_t>(rc);
    names.push_back(Narrow(name, length));
  }
  return kErrorSuccess;
}

std::uint32_t RegistryKey::DeleteSubKeyTree(const std::string& subKey) {
  if (!IsOpen()) return kErrorInvalidHandle;
  // RegDeleteTree exists from Vista on; the walk keeps Windows XP served too.
  HKEY child = nullptr;
  const std::wstring wide = Widen(subKey);
  LONG rc = RegOpenKeyExW(impl_->key, wide.c_str(), 0, KEY_READ | KEY_WRITE | DELETE, &child);
  if (rc != ERROR_SUCCESS) return static_cast<std::uint32_t>(rc);
  RegistryKey childKey;
  childKey.impl_->key = child;
  std::vector<std::string> children;
  std::uint32_t status = childKey.EnumerateSubKeys(children);
  for (const std::string& name : children) {
    if (status != kErrorSuccess) break;
    status = childKey.DeleteSubKeyTree(name);
  }
  childKey.Close();
  if (status != kErrorSuccess) return status;
  return static_cast<std::uint32_t>(RegDeleteKeyW(impl_->key, wide.c_str()));
}

}  // namespace zl::platform
