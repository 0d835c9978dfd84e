#include "shared/syscmd/hosted_network_commands.h"

#include <gtest/gtest.h>

#include "shared/netquery/adapter_queries.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"

namespace zl::syscmd {
namespace {

namespace machine = platform::machine;

TEST(HostedNetworkCommandsTest, NetshReceivesExactlyTheseCommandLines) {
  const struct {
    const char* what;
    void (*run)();
    const char* received;
  } rows[] = {
      {"set", [] { SetHostedNetwork("My Net", "12345678"); },
       "netsh wlan set hostednetwork mode=allow ssid=\"My Net\" key=\"12345678\" keyUsage=persistent\n"},
      {"start", [] { StartHostedNetwork(); }, "netsh wlan start hostednetwork\n"},
      {"stop", [] { StopHostedNetwork(); }, "netsh wlan stop hostednetwork\n"},
      {"disallow", [] { DisallowHostedNetwork(); }, "netsh wlan set hostednetwork mode=disallow\n"},
      {"blanks and symbols stay inside the quotes", [] { SetHostedNetwork("  Caf\xE9 & Bar | <1> ", "key with ^ & |!"); },
       "netsh wlan set hostednetwork mode=allow ssid=\"  Caf\xE9 & Bar | <1> \" key=\"key with ^ & |!\" "
       "keyUsage=persistent\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    test::EmulatedMachine machine;
    row.run();
    EXPECT_EQ(machine.ReadFile("netsh.log"), row.received);
  }
}

TEST(HostedNetworkCommandsTest, CommandInterpreterIsGivenTheDocumentedParameters) {
  EXPECT_EQ(SetHostedNetworkParameters("My Net", "12345678"),
            "/c \"netsh wlan set hostednetwork mode=allow ssid=\"My Net\" key=\"12345678\" keyUsage=persistent\"");
}

TEST(HostedNetworkCommandsTest, SetAndStartBringTheHostedAdapterUpAndStopRemovesIt) {
  test::EmulatedMachine machine;
  SetHostedNetwork("My Net", "12345678");
  StartHostedNetwork();
  const auto state = machine::ReadHostedNetwork();
  EXPECT_TRUE(state.allowed);
  EXPECT_EQ(state.ssid, "My Net");
  EXPECT_EQ(state.key, "12345678");
  EXPECT_TRUE(state.persistentKey);
  EXPECT_EQ(netquery::GetHostedNetworkAdapterName(), state.adapterGuid);
  StopHostedNetwork();
  EXPECT_EQ(netquery::GetHostedNetworkAdapterName(), "");
  StartHostedNetwork();
  EXPECT_NE(netquery::GetHostedNetworkAdapterName(), "");
  DisallowHostedNetwork();
  EXPECT_EQ(netquery::GetHostedNetworkAdapterName(), "");
  EXPECT_FALSE(machine::ReadHostedNetwork().allowed);
}

TEST(HostedNetworkCommandsTest, NetshRefusalsLeaveTheNetworkAsItWas) {
  test::EmulatedMachine machine;
  StartHostedNetwork();  // disallowed and unconfigured: refused
  EXPECT_EQ(netquery::GetHostedNetworkMAC(), "");
  SetHostedNetwork(std::string(33, 'S'), "12345678");
  SetHostedNetwork("Net", "1234567");
  SetHostedNetwork("Net", std::string(64, 'k'));
  EXPECT_FALSE(machine::ReadHostedNetwork().allowed);
  EXPECT_EQ(machine::ReadHostedNetwork().ssid, "");
  // The limits themselves are accepted.
  SetHostedNetwork(std::string(32, 'S'), std::string(63, 'k'));
  EXPECT_EQ(machine::ReadHostedNetwork().ssid, std::string(32, 'S'));
  SetHostedNetwork("S", std::string(8, 'k'));
  EXPECT_EQ(machine::ReadHostedNetwork().key, std::string(8, 'k'));
  EXPECT_NE(machine.ReadFile("Console.log").find("The SSID must be 1 to 32 characters long."), std::string::npos);
}

// A double quote would end the quoting on the command interpreter's line and
// run the rest as commands with administrator rights; a percent sign expands
// variables; a control character can end the line. Such input runs nothing.
TEST(HostedNetworkCommandsTest, UnsafeNameOrKeyRunsNothing) {
  const struct {
    const char* what;
    std::string ssid;
    std::string key;
  } rows[] = {
      {"quote in the name", "x\" & echo INJECTED & rem \"", "12345678"},
      {"quote in the key", "Net", "12345678\" & echo INJECTED & rem \""},
      {"percent in the name", "%COMSPEC%", "12345678"},
      {"percent in the key", "Net", "100%sure"},
      {"line feed", "Net\nwhoami", "12345678"},
      {"carriage return", "Net", "1234\r5678"},
      {"tab", "Net\tx", "12345678"},
      {"delete character", "Net\x7F", "12345678"},
      {"backslash ending the name", "Net\\", "12345678"},
      {"backslash ending the key", "Net", "12345678\\"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    test::EmulatedMachine machine;
    EXPECT_FALSE(IsSafeCommandText(row.ssid) && IsSafeCommandText(row.key));
    SetHostedNetwork(row.ssid, row.key);
    EXPECT_EQ(machine.ReadFile("netsh.log"), "");
    EXPECT_EQ(machine.ReadFile("Console.log"), "");
    EXPECT_FALSE(machine::ReadHostedNetwork().allowed);
  }
}

TEST(HostedNetworkCommandsTest, SafeTextRule) {
  EXPECT_TRUE(IsSafeCommandText(""));
  EXPECT_TRUE(IsSafeCommandText("Caf\xE9 Wi-Fi & <Gast> | ^!'()"));
  EXPECT_FALSE(IsSafeCommandText("a\"b"));
  EXPECT_FALSE(IsSafeCommandText("a%b"));
  EXPECT_FALSE(IsSafeCommandText(std::string("a\0b", 3)));
  EXPECT_FALSE(IsSafeCommandText("\x1F"));
  EXPECT_TRUE(IsSafeCommandText("a\\b"));
  EXPECT_FALSE(IsSafeCommandText("ab\\"));
}

}  // namespace
}  // namespace zl::syscmd
