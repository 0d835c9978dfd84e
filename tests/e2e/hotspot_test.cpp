// The hotspot set up through the control panel's own sequence, and its
// clients on the "Clients" page.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/system_fixture.h"
#include "zl/platform/machine_state.h"

namespace zl::e2e {
namespace {

namespace machine = platform::machine;

std::vector<std::string> Sorted(std::vector<std::string> entries) {
  std::sort(entries.begin(), entries.end());
  return entries;
}

TEST_F(SystemTest, SetUpStartsTheHotspotSharesTheInternetAndTheServiceDivertsTheAdapter) {
  OpenPanel();
  ASSERT_TRUE(SetUpHotspot("E2E Hotspot", "geheim123"));

  const auto hosted = machine::ReadHostedNetwork();
  EXPECT_TRUE(hosted.started);
  EXPECT_EQ(hosted.ssid, "E2E Hotspot");
  EXPECT_EQ(hosted.key, "geheim123");
  std::map<std::string, std::string> sharing;
  for (const auto& s : machine::ListSharing()) {
    if (s.enabled) sharing[s.connectionName] = s.type == 0 ? "public" : "private";
  }
  EXPECT_EQ(sharing["LAN-Verbindung"], "public");
  EXPECT_EQ(sharing.size(), 2u);
  for (const auto& [name, type] : sharing) {
    if (name != "LAN-Verbindung") EXPECT_EQ(type, "private") << name << " is the hosted network's connection";
  }

  // The service found the hosted adapter and has both directions diverted;
  // the other adapters pass everything.
  const std::string guid = HostedAdapterGuid();
  EXPECT_TRUE(RunUntil([&] { return AdapterMode(guid) == kModeDivertBoth; })) << "mode " << AdapterMode(guid).value_or(99);
  for (const auto& [name, mode] : AdapterModes()) {
    if (name.find(guid) == std::string::npos) EXPECT_EQ(mode, 0u) << name;
  }
  EXPECT_TRUE(RunUntil([&] { return ServiceConnections() == 1; })) << "the service is connected to the panel";
}

TEST_F(SystemTest, ClientsAppearWithAddressAndNameAndGoWhenQuietOrWhenTheHotspotStops) {
  OpenPanel();
  ASSERT_TRUE(SetUpHotspot("E2E Hotspot", "geheim123"));
  StartTraffic({"--clients", "3", "--rate", "5"});

  const std::vector<std::string> all = {
      "02-5A-00-00-00-01 192.168.137.11 anna-laptop",
      "02-5A-00-00-00-02 192.168.137.12 ben-phone",
      "02-5A-00-00-00-03 192.168.137.13 carla-tablet",
  };
  EXPECT_TRUE(RunUntil([&] { return Sorted(ClientsPage()) == all; })) << ::testing::PrintToString(ClientsPage());

  TellTraffic("quiet 2");
  const std::vector<std::string> withoutBen = {all[0], all[2]};
  EXPECT_TRUE(RunUntil([&] { return Sorted(ClientsPage()) == withoutBen; }))
      << ::testing::PrintToString(ClientsPage());

  // The set-up button of a running hotspot stops it.
  Panel().UserClick(Panel().btnOK);
  EXPECT_TRUE(RunUntil([&] { return !Panel().FHotspotRunning; }));
  EXPECT_TRUE(ClientsPage().empty()) << ::testing::PrintToString(ClientsPage());
  EXPECT_FALSE(machine::ReadHostedNetwork().started);
  // And it stays empty: reports of the clients' last frames add no one.
  RunUntil([] { return false; }, std::chrono::milliseconds(3000));
  EXPECT_TRUE(ClientsPage().empty()) << ::testing::PrintToString(ClientsPage());
}

}  // namespace
}  // namespace zl::e2e
