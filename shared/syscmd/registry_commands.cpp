#include "shared/syscmd/registry_commands.h"

#include "shared/support/trim.h"
#include "shared/syscmd/system_errors.h"
#include "zl/platform/errors.h"
#include "zl/platform/registry.h"

namespace zl::syscmd {

using namespace platform;

namespace {

std::string Describe(const std::string& keyPath, const std::string& valueName) {
  return "\"" + keyPath + "\\" + valueName + "\"";
}

void Check(std::uint32_t status, const std::string& what, const std::string& keyPath, const std::string& valueName) {
  if (status != kErrorSuccess) throw RegistryError(what + " " + Describe(keyPath, valueName), status);
}

void WriteValue(const std::string& keyPath, const std::string& valueName, const RegistryValue& value) {
  RegistryKey key;
  Check(key.Create(keyPath, kKeyWrite), "Cannot open for writing", keyPath, valueName);
  Check(key.SetValue(valueName, value), "Cannot store", keyPath, valueName);
}

}  // namespace

bool ReadRegBool(const std::string& keyPath, const std::string& valueName) {
  RegistryKey key;
  Check(key.Open(keyPath, kKeyRead), "Cannot open", keyPath, valueName);
  RegistryValue value;
  Check(key.QueryValue(valueName, value), "Cannot read", keyPath, valueName);
  if (value.type != kRegDword || value.data.size() != 4) {
    throw RegistryError("Invalid data type for " + Describe(keyPath, valueName), kErrorInvalidParameter);
  }
  return value.data != std::string(4, '\0');
}

void WriteRegBool(const std::string& keyPath, const std::string& valueName, bool value) {
  WriteValue(keyPath, valueName, MakeDwordValue(value ? 1 : 0));
}

std::string ReadRegString(const std::string& keyPath, const std::string& valueName) {
  RegistryKey key;
  if (key.Open(keyPath, kKeyRead) != kErrorSuccess) return {};
  RegistryValue value;
  if (key.QueryValue(valueName, value) != kErrorSuccess) return {};
  if (value.type != kRegSz && value.type != kRegExpandSz) {
    throw RegistryError("Invalid data type for " + Describe(keyPath, valueName), kErrorInvalidParameter);
  }
  return Trim(StringFromValue(value));
}

void WriteRegString(const std::string& keyPath, const std::string& valueName, const std::string& text) {
  WriteValue(keyPath, valueName, MakeStringValue(text));
}

void DeleteRegValue(const std::string& keyPath, const std::string& valueName) {
  RegistryKey key;
  if (key.Open(keyPath, kKeyWrite) != kErrorSuccess) return;
  key.DeleteValue(valueName);
}

bool RegValueExists(const std::string& keyPath, const std::string& valueName) {
  RegistryKey key;
  if (key.Open(keyPath, kKeyRead) != kErrorSuccess) return false;
  RegistryValue value;
  return key.QueryValue(valueName, value) == kErrorSuccess;
}

}  // namespace zl::syscmd
