#include "shared/syscmd/registry_commands.h"

#include <gtest/gtest.h>

#include <optional>

#include "shared/syscmd/system_errors.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/errors.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/registry.h"

namespace zl::syscmd {
namespace {

using namespace platform;

constexpr const char* kKey = "SOFTWARE\\Quendral\\Zephlink";

void Store(const std::string& name, const RegistryValue& value) {
  RegistryKey key;
  ASSERT_EQ(key.Create(kKey, kKeyWrite), kErrorSuccess);
  ASSERT_EQ(key.SetValue(name, value), kErrorSuccess);
}

std::optional<bool> TryReadBool(const std::string& key, const std::string& name) {
  try {
    return ReadRegBool(key, name);
  } catch (const RegistryError&) {
    return std::nullopt;
  }
}

std::optional<std::string> TryReadString(const std::string& key, const std::string& name) {
  try {
    return ReadRegString(key, name);
  } catch (const RegistryError&) {
    return std::nullopt;
  }
}

TEST(RegistryCommandsTest, ReadsAgainstStoredTypes) {
  // nullopt: the read raises an error.
  const struct {
    const char* what;
    std::optional<RegistryValue> stored;
    std::optional<bool> asBool;
    std::optional<std::string> asString;
  } rows[] = {
      {"dword 1", MakeDwordValue(1), true, std::nullopt},
      {"dword 0", MakeDwordValue(0), false, std::nullopt},
      {"dword 256", MakeDwordValue(256), true, std::nullopt},
      {"dword all ones", MakeDwordValue(0xFFFFFFFF), true, std::nullopt},
      {"string with blanks around", MakeStringValue("  abc  "), std::nullopt, "abc"},
      {"string with control characters around", MakeStringValue("\t\r\n abc\x01"), std::nullopt, "abc"},
      {"empty string", MakeStringValue(""), std::nullopt, ""},
      {"expandable string stays unexpanded", MakeStringValue(" %TEMP%\\x ", kRegExpandSz), std::nullopt, "%TEMP%\\x"},
      {"string \"1\" is no boolean", MakeStringValue("1"), std::nullopt, "1"},
      {"four binary bytes are no integer", RegistryValue{kRegBinary, std::string("\x01\0\0\0", 4)}, std::nullopt,
       std::nullopt},
      {"multi-string", MakeMultiStringValue({"a", "b"}), std::nullopt, std::nullopt},
      {"missing value", std::nullopt, std::nullopt, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    test::EmulatedMachine machine;
    RegistryKey key;
    ASSERT_EQ(key.Create(kKey, kKeyWrite), kErrorSuccess);
    if (row.stored) Store("Value", *row.stored);
    EXPECT_EQ(TryReadBool(kKey, "Value"), row.asBool);
    EXPECT_EQ(TryReadString(kKey, "Value"), row.asString);
    EXPECT_EQ(RegValueExists(kKey, "value"), row.stored.has_value());
  }
}

TEST(RegistryCommandsTest, MissingKeyReadsAsNothing) {
  test::EmulatedMachine machine;
  EXPECT_EQ(TryReadBool("SOFTWARE\\Nobody", "Value"), std::nullopt);
  EXPECT_EQ(ReadRegString("SOFTWARE\\Nobody", "Value"), "");
  EXPECT_FALSE(RegValueExists("SOFTWARE\\Nobody", "Value"));
  DeleteRegValue("SOFTWARE\\Nobody", "Value");  // reports nothing
}

TEST(RegistryCommandsTest, WrittenValuesReadBackAndGoAway) {
  test::EmulatedMachine machine;
  WriteRegBool(kKey, "EnableICS", true);  // the key is created
  EXPECT_TRUE(ReadRegBool(kKey, "EnableICS"));
  WriteRegBool(kKey, "EnableICS", false);
  EXPECT_FALSE(ReadRegBool(kKey, "EnableICS"));
  WriteRegString(kKey, "HotspotName", "  My Net ");
  EXPECT_EQ(ReadRegString(kKey, "HotspotName"), "My Net");
  EXPECT_TRUE(RegValueExists(kKey, "EnableICS"));
  DeleteRegValue(kKey, "EnableICS");
  EXPECT_FALSE(RegValueExists(kKey, "EnableICS"));
  DeleteRegValue(kKey, "EnableICS");
  // A string written over an integer changes the stored type.
  WriteRegString(kKey, "HotspotName", "x");
  WriteRegBool(kKey, "HotspotName", true);
  EXPECT_EQ(TryReadString(kKey, "HotspotName"), std::nullopt);
}

TEST(RegistryCommandsTest, WritesToAReadOnlyRegistryRaise) {
  test::EmulatedMachine machine;
  WriteRegString(kKey, "HotspotName", "Net");
  ASSERT_TRUE(machine::SetFault("RegistryReadOnly", 1));
  try {
    WriteRegString(kKey, "HotspotName", "Other");
    ADD_FAILURE() << "no error raised";
  } catch (const RegistryError& error) {
    EXPECT_EQ(error.Code, kErrorAccessDenied);
  }
  EXPECT_THROW(WriteRegBool(kKey, "EnableICS", true), RegistryError);
  EXPECT_NO_THROW(DeleteRegValue(kKey, "HotspotName"));
  EXPECT_EQ(ReadRegString(kKey, "HotspotName"), "Net");
}

}  // namespace
}  // namespace zl::syscmd
