// The machine's cmd.exe and netsh.exe as the system runs them: through the
// shell, hidden, their output in the machine's console log.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/process.h"

namespace zl::platform {
namespace {

struct Outcome {
  std::int32_t exitCode = -1;
  std::string console;
};

Outcome RunHidden(const test::EmulatedMachine& machine, const std::string& file, const std::string& parameters) {
  const std::string before = machine.ReadFile("Console.log");
  ProcessHandle process;
  Outcome outcome;
  if (!ExecuteWithShell({"open", file, parameters, "", kShowHide}, process)) return outcome;
  process.Wait(60000);
  process.GetExitCode(outcome.exitCode);
  outcome.console = machine.ReadFile("Console.log").substr(before.size());
  return outcome;
}

TEST(InterpreterTest, RunsCommandsWithSeparatorsAndExitCodes) {
  test::EmulatedMachine machine;
  setenv("ZL_INTERPRETER_TEST", "expanded", 1);
  const struct {
    const char* parameters;
    std::int32_t exitCode;
    const char* console;
  } rows[] = {
      {"/c \"echo hello\"", 0, "hello\r\n"},
      {"/c \"exit 7\"", 7, ""},
      {"/c \"echo a & echo b\"", 0, "a\r\nb\r\n"},
      {"/c \"echo \"a & b\"\"", 0, "\"a & b\"\r\n"},
      {"/c \"echo a ^& b\"", 0, "a & b\r\n"},
      {"/c \"echo %ZL_INTERPRETER_TEST%\"", 0, "expanded\r\n"},
      {"/c \"nothing-here && echo no || echo yes\"", 0,
       "'nothing-here' is not recognized as an internal or external command,\r\noperable program or batch file.\r\nyes\r\n"},
      {"/c \"exit 2 & echo never\"", 2, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.parameters);
    const Outcome outcome = RunHidden(machine, "cmd.exe", row.parameters);
    EXPECT_EQ(outcome.exitCode, row.exitCode);
    EXPECT_EQ(outcome.console, row.console);
  }
  unsetenv("ZL_INTERPRETER_TEST");
}

TEST(InterpreterTest, BrokenQuotingRunsTheRestAsCommands) {
  test::EmulatedMachine machine;
  const Outcome outcome = RunHidden(
      machine, "cmd.exe",
      "/c \"netsh wlan set hostednetwork mode=allow ssid=\"x\" & echo INJECTED & rem \"\" key=\"12345678\" "
      "keyUsage=persistent\"");
  EXPECT_NE(outcome.console.find("INJECTED\r\n"), std::string::npos);
  EXPECT_EQ(machine.ReadFile("netsh.log"), "netsh wlan set hostednetwork mode=allow ssid=\"x\" \n");
}

TEST(NetshTest, HostedNetworkCommandsAndRefusals) {
  test::EmulatedMachine machine;
  const struct {
    const char* command;
    std::int32_t exitCode;
    const char* firstLine;
  } steps[] = {
      {"netsh wlan start hostednetwork", 1, "The hosted network couldn't be started. "},
      {"netsh wlan set hostednetwork mode=allow", 0, "The hosted network mode has been set to allow. "},
      {"netsh wlan start hostednetwork", 1, "The hosted network couldn't be started. "},  // not configured
      {"netsh wlan set hostednetwork ssid=\"\"", 1, "The SSID of the hosted network couldn't be set. "},
      {"netsh wlan set hostednetwork ssid=123456789012345678901234567890123", 1,
       "The SSID of the hosted network couldn't be set. "},
      {"netsh wlan set hostednetwork key=1234567", 1, "The user key passphrase of the hosted network couldn't be set. "},
      {"netsh wlan set hostednetwork mode=sometimes", 1, "One or more parameters for the command are not correct or missing."},
      {"netsh wlan set hostednetwork color=blue", 1, "One or more parameters for the command are not correct or missing."},
      {"NETSH WLAN SET HOSTEDNETWORK SSID=\"Caf\xE9 Gast\" KEY=geheim123 KEYUSAGE=temporary", 0,
       "The SSID of the hosted network has been successfully changed. "},
      {"netsh wlan start hostednetwork", 0, "The hosted network started. "},
      {"netsh wlan start hostednetwork", 0, "The hosted network started. "},
      {"netsh wlan stop hostednetwork", 0, "The hosted network stopped. "},
      {"netsh wlan set hostednetwork mode=disallow", 0, "The hosted network mode has been set to disallow. "},
      {"netsh wlan stop hostednetwork", 1, "The hosted network couldn't be stopped. "},
      {"netsh lan show interfaces", 1, "The following command was not found: lan show interfaces."},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.command);
    const std::string line = step.command;
    const Outcome outcome = RunHidden(machine, "netsh.exe", line.substr(6));
    EXPECT_EQ(outcome.exitCode, step.exitCode);
    EXPECT_EQ(outcome.console.substr(0, outcome.console.find("\r\n")), step.firstLine);
  }
  const auto state = machine::ReadHostedNetwork();
  EXPECT_EQ(state.ssid, "Caf\xE9 Gast");
  EXPECT_EQ(state.key, "geheim123");
  EXPECT_FALSE(state.persistentKey);
}

TEST(NetshTest, StartedNetworkBringsUpTheVirtualAdapter) {
  test::EmulatedMachine machine;
  RunHidden(machine, "cmd.exe",
            "/c \"netsh wlan set hostednetwork mode=allow ssid=\"My Net\" key=\"12345678\" keyUsage=persistent\"");
  RunHidden(machine, "cmd.exe", "/c \"netsh wlan start hostednetwork\"");
  auto adapters = machine::ListAdapters();
  ASSERT_EQ(adapters.size(), 3u);
  const auto& hosted = adapters.back();
  EXPECT_TRUE(hosted.hosted);
  EXPECT_EQ(hosted.type, 71u);
  EXPECT_EQ(hosted.addresses, std::vector<std::string>{"192.168.137.1"});
  EXPECT_EQ(hosted.guid, machine::ReadHostedNetwork().adapterGuid);
  EXPECT_EQ(hosted.connectionName, "Drahtlosnetzwerkverbindung 2");
  const Outcome shown = RunHidden(machine, "netsh.exe", "wlan show hostednetwork");
  EXPECT_NE(shown.console.find("    SSID name              : \"My Net\"\r\n"), std::string::npos);
  EXPECT_NE(shown.console.find("    Status                 : Started\r\n"), std::string::npos);
  RunHidden(machine, "cmd.exe", "/c \"netsh wlan stop hostednetwork\"");
  EXPECT_EQ(machine::ListAdapters().size(), 2u);
}

TEST(NetshTest, MachineWithoutAWirelessAdapterCannotHost) {
  test::EmulatedMachine machine(false);
  RunHidden(machine, "netsh.exe", "wlan set hostednetwork mode=allow ssid=N key=12345678");
  const Outcome outcome = RunHidden(machine, "netsh.exe", "wlan start hostednetwork");
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_NE(outcome.console.find("not supported"), std::string::npos);
  EXPECT_TRUE(machine::ListAdapters().empty());
}

}  // namespace
}  // namespace zl::platform
