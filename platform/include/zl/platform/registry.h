// The machine-wide registry hive (HKEY_LOCAL_MACHINE): keys opened with
// access rights, typed values. Key paths are code page 1252 texts with "\"
// between keys, relative to the hive's root; letter case is not significant.
// Every call returns a platform error number (errors.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zl::platform {

// Access rights of a key handle.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// A value as the registry stores it: strings carry their terminating zero
// byte(s), a REG_DWORD is four little-endian bytes.
struct RegistryValue {
  std::uint32_t type = kRegNone;
  std::string data;
};

// Helpers that build and read the stored byte forms.
RegistryValue MakeStringValue(const std::string& text, std::uint32_t type = kRegSz);
RegistryValue MakeDwordValue(std::uint32_t number);
RegistryValue MakeMultiStringValue(const std::vector<std::string>& texts);
// The text of a string value up to its first zero byte.
std::string StringFromValue(const RegistryValue& value);
std::vector<std::string> MultiStringFromValue(const RegistryValue& value);

// One open key of the local machine's hive. Closed by Close or destruction.
class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();
  RegistryKey(RegistryKey&&) noexcept;
  RegistryKey& operator=(RegistryKey&&) noexcept;

  // Opens an existing key; ERROR_FILE_NOT_FOUND when it is missing.
  std::uint32_t Open(const std::string& path, std::uint32_t access);
  // Opens the key, creating it and its missing parents first.
  std::uint32_t Create(const std::string& path, std::uint32_t access);
  bool IsOpen() const;
  void Close();

  std::uint32_t QueryValue(const std::string& name, RegistryValue& value) const;
  std::uint32_t SetValue(const std::string& name, const RegistryValue& value);
  std::uint32_t DeleteValue(const std::string& name);
  // Names of the subkeys (alphabetical) and of the values.
  std::uint32_t EnumerateSubKeys(std::vector<std::string>& names) const;
  std::uint32_t EnumerateValues(std::vector<std::string>& names) const;
  // Deletes a subkey and everything below it.
  std::uint32_t DeleteSubKeyTree(const std::string& subKey);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zl::platform
