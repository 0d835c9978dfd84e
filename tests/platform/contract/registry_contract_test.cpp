// Registry keys and typed values, the same on every backend.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/contract/contract_environment.h"
#include "zl/platform/errors.h"
#include "zl/platform/registry.h"

namespace zl::platform {
namespace {

constexpr const char* kTestKey = "SOFTWARE\\ZephlinkContract";

class RegistryContract : public ::testing::Test {
 protected:
  void SetUp() override {
    RegistryKey root;
    if (root.Open("SOFTWARE", kKeyRead | kKeyWrite) == kErrorSuccess) root.DeleteSubKeyTree("ZephlinkContract");
  }
  void TearDown() override { SetUp(); }
  contract::MachineScope machine;
};

TEST_F(RegistryContract, EveryValueTypeComesBackAsStored) {
  RegistryKey key;
  ASSERT_EQ(key.Create(kTestKey, kKeyRead | kKeyWrite), kErrorSuccess);
  struct Case {
    std::string name;
    RegistryValue value;
  };
  const std::vector<Case> cases = {
      {"Text", MakeStringValue("Zephlink Service")},
      {"Western", MakeStringValue("Drahtlosnetzwerkverbindung \xFC\xDF \x80")},  // ü ß € in code page 1252
      {"Empty", MakeStringValue("")},
      {"Expand", MakeStringValue("%SystemRoot%\\System32", kRegExpandSz)},
      {"Number", MakeDwordValue(0xDEADBEEF)},
      {"Zero", MakeDwordValue(0)},
      {"Bytes", {kRegBinary, std::string("\x00\x01\xFF\x7F", 4)}},
      {"NoBytes", {kRegBinary, std::string()}},
      {"Lines", MakeMultiStringValue({"first", "second \xE4", "third"})},
  };
  for (const Case& c : cases) ASSERT_EQ(key.SetValue(c.name, c.value), kErrorSuccess) << c.name;
  key.Close();

  RegistryKey reader;
  ASSERT_EQ(reader.Open(kTestKey, kKeyRead), kErrorSuccess);
  for (const Case& c : cases) {
    RegistryValue read;
    ASSERT_EQ(reader.QueryValue(c.name, read), kErrorSuccess) << c.name;
    EXPECT_EQ(read.type, c.value.type) << c.name;
    EXPECT_EQ(read.data, c.value.data) << c.name;
  }
  RegistryValue lines;
  ASSERT_EQ(reader.QueryValue("Lines", lines), kErrorSuccess);
  EXPECT_EQ(MultiStringFromValue(lines), (std::vector<std::string>{"first", "second \xE4", "third"}));
  RegistryValue western;
  ASSERT_EQ(reader.QueryValue("Western", western), kErrorSuccess);
  EXPECT_EQ(StringFromValue(western), "Drahtlosnetzwerkverbindung \xFC\xDF \x80");

  std::vector<std::string> names;
  ASSERT_EQ(reader.EnumerateValues(names), kErrorSuccess);
  EXPECT_EQ(names.size(), cases.size());
}

TEST_F(RegistryContract, MissingKeysAndValuesAreNotFound) {
  RegistryKey key;
  EXPECT_EQ(key.Open("SOFTWARE\\ZephlinkContract\\Nowhere", kKeyRead), kErrorFileNotFound);
  EXPECT_FALSE(key.IsOpen());
  ASSERT_EQ(key.Create(kTestKey, kKeyRead | kKeyWrite), kErrorSuccess);
  RegistryValue value;
  EXPECT_EQ(key.QueryValue("Absent", value), kErrorFileNotFound);
  EXPECT_EQ(key.DeleteValue("Absent"), kErrorFileNotFound);
}

TEST_F(RegistryContract, AKeyOpenedForReadingRefusesWrites) {
  {
    RegistryKey key;
    ASSERT_EQ(key.Create(kTestKey, kKeyRead | kKeyWrite), kErrorSuccess);
    ASSERT_EQ(key.SetValue("Kept", MakeDwordValue(7)), kErrorSuccess);
  }
  RegistryKey key;
  ASSERT_EQ(key.Open(kTestKey, kKeyRead), kErrorSuccess);
  EXPECT_EQ(key.SetValue("Other", MakeDwordValue(1)), kErrorAccessDenied);
  EXPECT_EQ(key.DeleteValue("Kept"), kErrorAccessDenied);
  RegistryValue value;
  ASSERT_EQ(key.QueryValue("Kept", value), kErrorSuccess);
  EXPECT_EQ(value.data, MakeDwordValue(7).data);

  RegistryKey writeOnly;
  ASSERT_EQ(writeOnly.Open(kTestKey, kKeySetValue), kErrorSuccess);
  EXPECT_EQ(writeOnly.QueryValue("Kept", value), kErrorAccessDenied);
}

TEST_F(RegistryContract, SubKeysAreListedAlphabeticallyAndDeletedWithEverythingBelow) {
  for (const char* path : {"\\Zulu", "\\alpha", "\\Mike\\Deep\\Deeper"}) {
    RegistryKey key;
    ASSERT_EQ(key.Create(std::string(kTestKey) + path, kKeyWrite), kErrorSuccess) << path;
    ASSERT_EQ(key.SetValue("V", MakeStringValue("x")), kErrorSuccess);
  }
  RegistryKey key;
  ASSERT_EQ(key.Open(kTestKey, kKeyRead | kKeyWrite), kErrorSuccess);
  std::vector<std::string> names;
  ASSERT_EQ(key.EnumerateSubKeys(names), kErrorSuccess);
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Mike", "Zulu"}));

  EXPECT_EQ(key.DeleteSubKeyTree("Mike"), kErrorSuccess);
  ASSERT_EQ(key.EnumerateSubKeys(names), kErrorSuccess);
  EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Zulu"}));
  RegistryKey gone;
  EXPECT_EQ(gone.Open(std::string(kTestKey) + "\\Mike\\Deep", kKeyRead), kErrorFileNotFound);
  EXPECT_EQ(key.DeleteSubKeyTree("Mike"), kErrorFileNotFound);
}

TEST_F(RegistryContract, KeyNamesIgnoreLetterCase) {
  {
    RegistryKey key;
    ASSERT_EQ(key.Create(std::string(kTestKey) + "\\Parameters", kKeyWrite), kErrorSuccess);
    ASSERT_EQ(key.SetValue("StartupMode", MakeDwordValue(3)), kErrorSuccess);
  }
  RegistryKey key;
  ASSERT_EQ(key.Open("software\\zephlinkcontract\\PARAMETERS", kKeyRead), kErrorSuccess);
  RegistryValue value;
  ASSERT_EQ(key.QueryValue("startupmode", value), kErrorSuccess);
  EXPECT_EQ(value.data, MakeDwordValue(3).data);
}

}  // namespace
}  // namespace zl::platform
