#include "zl/platform/sharing.h"

#include <gtest/gtest.h>

#include "tests/support/emulated_machine.h"
#include "zl/platform/firewall.h"
#include "zl/platform/machine_state.h"

namespace zl::platform {
namespace {

std::vector<std::string> Names(const SharingManager& manager) {
  std::vector<std::string> connections, names;
  EXPECT_EQ(manager.EnumerateConnections(connections), 0);
  for (const auto& connection : connections) {
    std::string name;
    EXPECT_EQ(manager.GetConnectionName(connection, name), 0);
    names.push_back(name);
  }
  return names;
}

std::string ConnectionNamed(const SharingManager& manager, const std::string& wanted) {
  std::vector<std::string> connections;
  manager.EnumerateConnections(connections);
  for (const auto& connection : connections) {
    std::string name;
    manager.GetConnectionName(connection, name);
    if (name == wanted) return connection;
  }
  return {};
}

TEST(SharingManagerTest, ListsEveryConnectionIncludingDialUp) {
  test::EmulatedMachine machine;
  machine::AdapterRecord dialUp;
  dialUp.connectionName = "Einwahl";
  dialUp.type = machine::kAdapterTypePpp;
  dialUp.inAdapterList = false;
  ASSERT_TRUE(machine::AddAdapter(dialUp));
  SharingManager manager;
  ASSERT_EQ(manager.Connect(), 0);
  EXPECT_EQ(Names(manager), (std::vector<std::string>{"LAN-Verbindung", "Drahtlosnetzwerkverbindung", "Einwahl"}));
}

TEST(SharingManagerTest, EnablesAndDisablesSharingPerConnection) {
  test::EmulatedMachine machine;
  SharingManager manager;
  ASSERT_EQ(manager.Connect(), 0);
  SharingConfiguration lan, wlan;
  ASSERT_EQ(manager.GetSharingConfiguration(ConnectionNamed(manager, "LAN-Verbindung"), lan), 0);
  ASSERT_EQ(manager.GetSharingConfiguration(ConnectionNamed(manager, "Drahtlosnetzwerkverbindung"), wlan), 0);
  ASSERT_EQ(lan.EnableSharing(kSharingTypePublic), 0);
  ASSERT_EQ(wlan.EnableSharing(kSharingTypePrivate), 0);
  bool enabled = false;
  std::int32_t type = -1;
  ASSERT_EQ(wlan.GetSharingEnabled(enabled), 0);
  ASSERT_EQ(wlan.GetSharingType(type), 0);
  EXPECT_TRUE(enabled);
  EXPECT_EQ(type, kSharingTypePrivate);
  const auto states = machine::ListSharing();
  ASSERT_EQ(states.size(), 2u);
  EXPECT_TRUE(states[0].enabled);
  EXPECT_EQ(states[0].type, kSharingTypePublic);
  ASSERT_EQ(lan.DisableSharing(), 0);
  ASSERT_EQ(lan.GetSharingEnabled(enabled), 0);
  EXPECT_FALSE(enabled);
  EXPECT_LT(lan.EnableSharing(5), 0);  // no such sharing type
}

TEST(SharingManagerTest, InjectedFailuresRaiseFromTheCalls) {
  test::EmulatedMachine machine;
  SharingManager manager;
  ASSERT_EQ(manager.Connect(), 0);
  ASSERT_TRUE(machine::SetFault("Sharing\\FailCalls", 2));
  std::vector<std::string> connections;
  EXPECT_LT(manager.EnumerateConnections(connections), 0);
  EXPECT_LT(manager.EnumerateConnections(connections), 0);
  EXPECT_EQ(manager.EnumerateConnections(connections), 0);  // the third call passes
  ASSERT_TRUE(machine::SetFault("Sharing\\FailAlways", 1));
  SharingConfiguration configuration;
  EXPECT_LT(manager.GetSharingConfiguration(connections[0], configuration), 0);
  ASSERT_TRUE(machine::SetFault("Sharing\\FailAlways", 0));
  ASSERT_TRUE(machine::SetFault("Sharing\\Unavailable", 1));
  SharingManager another;
  EXPECT_EQ(another.Connect(), kComClassNotRegistered);
  EXPECT_LT(another.EnumerateConnections(connections), 0);  // not connected
}

TEST(SharingManagerTest, HostedConnectionKeepsItsSharingAcrossStarts) {
  test::EmulatedMachine machine;
  ASSERT_EQ(machine::SetHostedNetworkMode(true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkSsid("N"), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkKey("12345678", true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::StartHostedNetwork(), machine::HostedResult::Ok);
  SharingManager manager;
  ASSERT_EQ(manager.Connect(), 0);
  SharingConfiguration hosted;
  const std::string connection = ConnectionNamed(manager, "Drahtlosnetzwerkverbindung 2");
  ASSERT_FALSE(connection.empty());
  ASSERT_EQ(manager.GetSharingConfiguration(connection, hosted), 0);
  ASSERT_EQ(hosted.EnableSharing(kSharingTypePrivate), 0);
  ASSERT_EQ(machine::StopHostedNetwork(), machine::HostedResult::Ok);
  EXPECT_EQ(ConnectionNamed(manager, "Drahtlosnetzwerkverbindung 2"), "");
  EXPECT_LT(hosted.EnableSharing(kSharingTypePrivate), 0);  // gone while stopped
  ASSERT_EQ(machine::StartHostedNetwork(), machine::HostedResult::Ok);
  bool enabled = false;
  ASSERT_EQ(hosted.GetSharingEnabled(enabled), 0);
  EXPECT_TRUE(enabled);
}

}  // namespace
}  // namespace zl::platform
