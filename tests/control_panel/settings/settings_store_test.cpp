#include "control_panel/settings/settings_store.h"

#include <gtest/gtest.h>

#include "control_panel/settings/settings_text.h"
#include "shared/syscmd/registry_commands.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/process.h"

namespace zl::panel::settings {
namespace {

namespace machine = platform::machine;

TEST(SettingsStoreTest, FreshMachineReadsEveryDefault) {
  test::EmulatedMachine machine;
  EXPECT_EQ(ReadHotspotName(), "Zephlink");
  EXPECT_EQ(ReadHotspotKey(), "40718263");
  EXPECT_TRUE(ReadEnableICS());
  EXPECT_EQ(ReadInternet(), "");
  EXPECT_FALSE(ReadDisableP2P());
  EXPECT_TRUE(ReadEnableUrlLog());
  EXPECT_FALSE(ReadAutoStart());
}

TEST(SettingsStoreTest, StoredTextsAreTrimmedAndBlankNamesFallBack) {
  const struct {
    const char* stored;
    const char* name;
    const char* key;
  } rows[] = {
      {"  My Net \t", "My Net", "My Net"},
      {"   ", "Zephlink", "40718263"},
      {"", "Zephlink", "40718263"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.stored);
    test::EmulatedMachine machine;
    syscmd::WriteRegString(kSettingsKey, "HotspotName", row.stored);
    syscmd::WriteRegString(kSettingsKey, "HotspotKey", row.stored);
    EXPECT_EQ(ReadHotspotName(), row.name);
    EXPECT_EQ(ReadHotspotKey(), row.key);
  }
}

TEST(SettingsStoreTest, ValuesOfTheWrongTypeReadAsTheirDefaults) {
  test::EmulatedMachine machine;
  syscmd::WriteRegString(kSettingsKey, "DisableP2P", "1");
  syscmd::WriteRegString(kSettingsKey, "EnableUrlLog", "0");
  syscmd::WriteRegString(kSettingsKey, "EnableICS", "0");
  syscmd::WriteRegBool(kSettingsKey, "HotspotName", true);
  syscmd::WriteRegBool(kSettingsKey, "Internet", true);
  EXPECT_FALSE(ReadDisableP2P());
  EXPECT_TRUE(ReadEnableUrlLog());
  EXPECT_TRUE(ReadEnableICS());
  EXPECT_EQ(ReadHotspotName(), "Zephlink");
  EXPECT_EQ(ReadInternet(), "");
}

TEST(SettingsStoreTest, WritesAreReadBack) {
  test::EmulatedMachine machine;
  WriteHotspotName("  Cafe Net  ");
  WriteHotspotKey(" secret-key ");
  WriteEnableICS(false);
  WriteInternet("  LAN  ");
  WriteDisableP2P(true);
  WriteEnableUrlLog(false);
  EXPECT_EQ(syscmd::ReadRegString(kSettingsKey, "HotspotName"), "Cafe Net");
  EXPECT_EQ(ReadHotspotKey(), "secret-key");
  EXPECT_FALSE(ReadEnableICS());
  EXPECT_EQ(ReadInternet(), "LAN");  // stored untrimmed, read trimmed
  EXPECT_TRUE(ReadDisableP2P());
  EXPECT_FALSE(ReadEnableUrlLog());
  WriteInternet("");
  EXPECT_TRUE(syscmd::RegValueExists(kSettingsKey, "Internet"));
  EXPECT_EQ(ReadInternet(), "");
}

TEST(SettingsStoreTest, AutostartCountsOnlyForTheExactProgramPath) {
  const std::string program = platform::ProgramFile();
  std::string otherCase = program;
  for (char& c : otherCase) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const struct {
    std::string stored;
    bool on;
  } rows[] = {
      {program, true},
      {"  " + program + " ", true},
      {"\"" + program + "\"", false},
      {otherCase, false},
      {program + " /silent", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.stored);
    test::EmulatedMachine machine;
    syscmd::WriteRegString(kAutostartKey, kAutostartValue, row.stored);
    EXPECT_EQ(ReadAutoStart(), row.on);
    WriteAutoStart(true);
    EXPECT_EQ(syscmd::ReadRegString(kAutostartKey, kAutostartValue), program);
    EXPECT_TRUE(ReadAutoStart());
    WriteAutoStart(false);
    EXPECT_FALSE(syscmd::RegValueExists(kAutostartKey, kAutostartValue));
    WriteAutoStart(false);  // a missing value is no error
    EXPECT_FALSE(ReadAutoStart());
  }
}

TEST(SettingsStoreTest, ReadOnlyHiveDropsWritesAndKeepsReading) {
  test::EmulatedMachine machine;
  WriteHotspotName("Before");
  WriteDisableP2P(true);
  ASSERT_TRUE(machine::SetFault("RegistryReadOnly", 1));
  WriteHotspotName("After");
  WriteDisableP2P(false);
  WriteEnableUrlLog(false);
  WriteAutoStart(true);
  EXPECT_EQ(ReadHotspotName(), "Before");
  EXPECT_TRUE(ReadDisableP2P());
  EXPECT_TRUE(ReadEnableUrlLog());
  EXPECT_FALSE(ReadAutoStart());
}

TEST(SettingsTextTest, BothRuleSetsByteForByte) {
  const struct {
    bool disableP2P;
    bool urlLog;
    std::vector<std::string> lines;
  } rows[] = {
      {true, true,
       {"FreeUrlList=", "FreeMacList=", "EnableFirewall=-1", "EnableDefaultTcpPorts=0", "EnableDefaultUdpPorts=0",
        "EnabledTcpPorts=80;8080;8081;443;21;25;110;67;68", "DisabledTcpPorts=", "EnabledUdpPorts=110;53;67;68",
        "DisabledUdpPorts=", "EnableUrlLog=-1"}},
      {false, false,
       {"FreeUrlList=", "FreeMacList=", "EnableFirewall=0", "EnableDefaultTcpPorts=-1", "EnableDefaultUdpPorts=-1",
        "EnabledTcpPorts=", "DisabledTcpPorts=", "EnabledUdpPorts=", "DisabledUdpPorts=", "EnableUrlLog=0"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.disableP2P);
    test::EmulatedMachine machine;
    WriteDisableP2P(row.disableP2P);
    WriteEnableUrlLog(row.urlLog);
    std::vector<std::string> lines = {"stale"};
    BuildSettingsText(lines);
    EXPECT_EQ(lines, row.lines);
  }
  std::string joined = JoinSettingsLines({"A=1", "B="});
  EXPECT_EQ(joined, "A=1\r\nB=\r\n");
}

TEST(SettingsTextTest, TextFollowsTheStoreNotAFailedWrite) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(machine::SetFault("RegistryReadOnly", 1));
  WriteDisableP2P(true);
  WriteEnableUrlLog(false);
  std::vector<std::string> lines;
  BuildSettingsText(lines);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[2], "EnableFirewall=0");
  EXPECT_EQ(lines[9], "EnableUrlLog=-1");
}

}  // namespace
}  // namespace zl::panel::settings
