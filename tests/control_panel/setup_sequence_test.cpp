// The set-up button's sequences: what netsh receives, the pauses on the
// clock, the sharing set up, and the running and stopped states.
#include <gtest/gtest.h>

#include <chrono>

#include "control_panel/settings/settings_store.h"
#include "shared/netquery/adapter_queries.h"
#include "shared/syscmd/hosted_network_commands.h"
#include "shared/syscmd/registry_commands.h"
#include "tests/control_panel/panel_fixture.h"
#include "zl/platform/machine_state.h"

namespace zl::panel::test {
namespace {

using namespace std::chrono_literals;
namespace machine = platform::machine;

const std::string kStop = "netsh wlan stop hostednetwork";
const std::string kStart = "netsh wlan start hostednetwork";

std::string SetLine(const std::string& ssid, const std::string& key) {
  return "netsh wlan set hostednetwork mode=allow ssid=\"" + ssid + "\" key=\"" + key + "\" keyUsage=persistent";
}

using SetupSequenceTest = PanelTest;

TEST_F(SetupSequenceTest, AutomaticSetUpConfiguresStartsSharesAndRuns) {
  ShowForm();
  form->UserEditText(form->edHotspotName, "  My Net  ");
  form->UserEditText(form->edNetworkKey, "secret-key");
  ASSERT_EQ(form->cbInternet.ItemIndex(), 0);  // LAN-Verbindung, 192.168.178.20
  const auto before = clock.Now();
  form->UserClick(form->btnOK);

  // The name goes to netsh with its blanks; the store keeps it trimmed.
  EXPECT_EQ(NetshLines(), (std::vector<std::string>{kStop, SetLine("  My Net  ", "secret-key"), kStart, kStart}));
  EXPECT_EQ(clock.Now() - before, 5000ms);  // the adapter was there at the first look
  EXPECT_EQ(settings::ReadHotspotName(), "My Net");
  EXPECT_EQ(settings::ReadHotspotKey(), "secret-key");
  EXPECT_EQ(syscmd::ReadRegString(settings::kSettingsKey, "Internet"), "LAN-Verbindung");
  EXPECT_EQ(SharingConnections(),
            (std::vector<std::string>{"LAN-Verbindung:public", HostedConnectionName() + ":private"}));

  EXPECT_TRUE(form->FHotspotRunning);
  EXPECT_EQ(form->FOwnMac, netquery::GetHostedNetworkMAC());
  EXPECT_EQ(form->btnOK.Caption(), "text 22");
  EXPECT_TRUE(form->btnOK.Enabled());
  EXPECT_TRUE(form->imgHotspotOnline.Visible());
  EXPECT_FALSE(form->imgHotspotOffline.Visible());
  for (const Control* input : {&form->rbAutomaticConfigVWiFi, &form->edHotspotName, &form->edNetworkKey,
                               &form->cbEnableICS, &form->cbInternet, &form->rbManualConfigVWiFi}) {
    EXPECT_FALSE(input->Enabled()) << input->Name();
  }
}

TEST_F(SetupSequenceTest, AdapterThatNeverAppearsLeavesTheHotspotStopped) {
  syscmd::WriteRegBool("EmulatedMachine\\HostedNetwork", "Supported", false);
  ShowForm();
  const auto before = clock.Now();
  form->UserClick(form->btnOK);
  EXPECT_EQ(clock.Now() - before, 14000ms);  // 5000 ms, then nine looks 1000 ms apart
  EXPECT_EQ(NetshLines(), (std::vector<std::string>{kStop, SetLine("Zephlink", "40718263"), kStart, kStop}));
  EXPECT_TRUE(SharingConnections().empty());
  EXPECT_FALSE(form->FHotspotRunning);
  EXPECT_EQ(form->btnOK.Caption(), "text 9");
  EXPECT_TRUE(form->btnOK.Enabled());
  EXPECT_TRUE(form->edHotspotName.Enabled());
  EXPECT_TRUE(form->imgHotspotOffline.Visible());
}

TEST_F(SetupSequenceTest, WithoutSharingTheSetUpSwitchesSharingOffEverywhere) {
  ShowForm();
  StartHostedNetworkDirectly();
  form->ShareInternet("LAN-Verbindung", HostedConnectionName());
  ASSERT_EQ(SharingConnections().size(), 2u);
  syscmd::StopHostedNetwork();
  form->UserClick(form->cbEnableICS);
  ASSERT_FALSE(form->cbEnableICS.Checked());
  form->UserClick(form->btnOK);
  EXPECT_TRUE(form->FHotspotRunning);
  EXPECT_TRUE(SharingConnections().empty());
  EXPECT_EQ(syscmd::ReadRegString(settings::kSettingsKey, "Internet"), "");
  EXPECT_FALSE(settings::ReadEnableICS());
}

TEST_F(SetupSequenceTest, ManualModeOnlyStartsTheConfiguredNetwork) {
  StartHostedNetworkDirectly();
  syscmd::StopHostedNetwork();
  ShowForm();
  StartHostedNetworkDirectly();
  form->UserClick(form->rbManualConfigVWiFi);
  ASSERT_TRUE(form->btnOK.Enabled());
  const auto before = clock.Now();
  const std::size_t commands = NetshLines().size();
  form->UserClick(form->btnOK);
  EXPECT_EQ(clock.Now() - before, 0ms);
  EXPECT_EQ(NetshLines().size(), commands + 1);
  EXPECT_EQ(NetshLines().back(), kStart);
  EXPECT_TRUE(form->FHotspotRunning);
  EXPECT_FALSE(syscmd::RegValueExists(settings::kSettingsKey, "HotspotName"));
}

TEST_F(SetupSequenceTest, StoppingStopsTheNetworkReloadsThePageAndKeepsSharing) {
  ShowForm();
  form->UserClick(form->btnOK);
  ASSERT_TRUE(form->FHotspotRunning);
  const auto shared = SharingConnections();
  ASSERT_EQ(shared.size(), 2u);
  AddClient("0A-00-00-00-00-01", "192.168.137.20", "phone");
  form->UpdateClientList("192.168.137.20");
  ASSERT_EQ(form->ClientEntries().size(), 1u);
  syscmd::WriteRegString(settings::kSettingsKey, "HotspotName", "Stored Later");

  form->UserClick(form->btnOK);
  EXPECT_FALSE(form->FHotspotRunning);
  EXPECT_EQ(NetshLines().back(), kStop);
  EXPECT_TRUE(form->ClientEntries().empty());
  EXPECT_EQ(form->edHotspotName.Text(), "Stored Later");
  EXPECT_TRUE(form->edHotspotName.Enabled());
  EXPECT_EQ(form->btnOK.Caption(), "text 9");
  EXPECT_TRUE(form->btnOK.Enabled());
  EXPECT_TRUE(form->imgHotspotOffline.Visible());
  // Sharing is only changed by a set-up; the hosted connection is gone with
  // its adapter, the public side still shares.
  EXPECT_EQ(SharingConnections(), (std::vector<std::string>{"LAN-Verbindung:public"}));
}

TEST_F(SetupSequenceTest, ButtonStaysDisabledWhileTheSequenceRuns) {
  ShowForm();
  SlowDownNetsh();
  struct Seen {
    bool enabled;
    std::string caption;
    bool running;
  };
  std::vector<Seen> seen;
  // Runs inside the first netsh wait, as a user's edits or a language
  // change would.
  loop.Post([&] {
    form->UserEditText(form->edHotspotName, "Edited Meanwhile");
    form->UserClick(form->rbManualConfigVWiFi);
    form->UserClick(form->rbAutomaticConfigVWiFi);
    BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);
    seen.push_back({form->btnOK.Enabled(), form->btnOK.Caption(), form->SetupSequenceRunning()});
    form->UserClick(form->btnOK);  // disabled: no second sequence
  });
  form->UserClick(form->btnOK);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_FALSE(seen[0].enabled);
  EXPECT_EQ(seen[0].caption, "text 20");
  EXPECT_TRUE(seen[0].running);
  EXPECT_FALSE(form->SetupSequenceRunning());
  EXPECT_TRUE(form->btnOK.Enabled());
  const auto commands = NetshLines();
  EXPECT_EQ(std::count(commands.begin(), commands.end(), SetLine("Zephlink", "40718263")), 1);
}

}  // namespace
}  // namespace zl::panel::test
