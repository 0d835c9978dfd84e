// The candidate Internet connections, their preselection, and the sharing
// manager's calls with their retry scheme against injected faults.
#include <gtest/gtest.h>

#include <chrono>

#include "control_panel/internet_candidates.h"
#include "control_panel/settings/settings_store.h"
#include "tests/control_panel/panel_fixture.h"
#include "zl/platform/machine_state.h"

namespace zl::panel::test {
namespace {

using namespace std::chrono_literals;
namespace machine = platform::machine;

const char* kLanGuid = "{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}";
const char* kWirelessGuid = "{7A2B9C1D-4E3F-4A5B-8C6D-1E2F3A4B5C6D}";

// A connection only the sharing manager knows (a dial-up connection).
void AddDialUp(const std::string& name) {
  machine::AdapterRecord dialUp;
  dialUp.description = "WAN Miniport";
  dialUp.type = machine::kAdapterTypePpp;
  dialUp.mac = {0x20, 0x41, 0x53, 0x59, 0x4E, 0xFF};
  dialUp.connectionName = name;
  dialUp.inAdapterList = false;
  ASSERT_TRUE(machine::AddAdapter(dialUp));
}

void AddEthernet(const std::string& name, const std::string& address) {
  machine::AdapterRecord adapter;
  adapter.description = "Ethernet";
  adapter.mac = {0x00, 0x1C, 0x42, 0x3A, 0x5B, static_cast<std::uint8_t>(0x10 + name.size())};
  adapter.addresses = {address};
  adapter.connectionName = name;
  ASSERT_TRUE(machine::AddAdapter(adapter));
}

TEST(InternetCandidatesTest, LocalAddresses) {
  const struct {
    const char* address;
    bool local;
  } rows[] = {
      {"0.0.0.0", true},        {"10.1.2.3", true},        {"172.16.0.1", true},     {"172.31.255.255", true},
      {"172.15.0.1", false},    {"172.32.0.1", false},     {"169.254.7.7", true},    {"192.168.137.1", true},
      {"192.168.137.2", false}, {"192.168.178.20", false}, {"8.8.8.8", false},       {"10.0.0", false},
      {"a.b.c.d", false},       {"", false},               {"10.0.0.1.5", true},     {"10..0.1", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsLocalAddress(row.address), row.local) << row.address;
  EXPECT_EQ(CandidateItemText("LAN", "10.0.0.5"), "LAN (10.0.0.5)");
}

using SharingTest = PanelTest;

TEST_F(SharingTest, CandidatesAreAdaptersThenSharingOnlyConnections) {
  AddDialUp("Einwahl");
  AddDialUp("  LAN-VERBINDUNG ");  // known already as an adapter: listed once
  StartHostedNetworkDirectly();
  form->FillInternetList();
  EXPECT_EQ(form->FInternetNames, (std::vector<std::string>{"LAN-Verbindung", "Drahtlosnetzwerkverbindung", "Einwahl"}));
  EXPECT_EQ(form->FInternetAddresses, (std::vector<std::string>{"192.168.178.20", "192.168.2.105", "0.0.0.0"}));
  EXPECT_EQ(form->cbInternet.Items(),
            (std::vector<std::string>{"LAN-Verbindung (192.168.178.20)", "Drahtlosnetzwerkverbindung (192.168.2.105)",
                                      "Einwahl (0.0.0.0)"}));
  EXPECT_EQ(form->cbInternet.ItemIndex(), 0);
}

TEST_F(SharingTest, PreselectionByStoredNameThenByAddress) {
  const struct {
    const char* what;
    const char* stored;
    const char* lanAddress;
    const char* wirelessAddress;
    int selected;
  } rows[] = {
      {"stored name in other letter case", "drahtlosNETZWERKverbindung", "192.168.178.20", "192.168.2.105", 1},
      {"stored name unknown: first non-local", "Gone", "10.0.0.5", "192.168.2.105", 1},
      {"no stored name: first non-local", "", "192.168.178.20", "192.168.2.105", 0},
      {"every address local: the first", "", "10.0.0.5", "169.254.3.3", 0},
      {"hosted address is local", "", "192.168.137.1", "172.20.0.1", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    settings::WriteInternet(row.stored);
    ASSERT_TRUE(machine::SetAdapterAddresses(kLanGuid, {row.lanAddress}));
    ASSERT_TRUE(machine::SetAdapterAddresses(kWirelessGuid, {row.wirelessAddress}));
    form->FillInternetList();
    EXPECT_EQ(form->cbInternet.ItemIndex(), row.selected);
  }
}

TEST_F(SharingTest, SharingOnlyConnectionsAreNeverPreselectedByAddress) {
  ASSERT_TRUE(machine::SetAdapterAddresses(kLanGuid, {"10.0.0.5"}));
  ASSERT_TRUE(machine::SetAdapterAddresses(kWirelessGuid, {"172.16.0.3"}));
  AddDialUp("Einwahl");
  AddEthernet("Internet", "8.8.4.4");
  form->FillInternetList();
  ASSERT_EQ(form->FInternetNames, (std::vector<std::string>{"LAN-Verbindung", "Drahtlosnetzwerkverbindung", "Internet",
                                                            "Einwahl"}));
  EXPECT_EQ(form->cbInternet.ItemIndex(), 2);
}

// The sharing manager failing while it is walked ends the walk: the
// adapters found stay listed and the preselection still runs.
TEST_F(SharingTest, SharingManagerFailureKeepsTheAdapterCandidates) {
  AddDialUp("Einwahl");
  const char* faults[] = {"Sharing\\Unavailable", "Sharing\\FailCalls"};
  for (const char* fault : faults) {
    SCOPED_TRACE(fault);
    ASSERT_TRUE(machine::SetFault(fault, 1));
    settings::WriteInternet("drahtlosnetzwerkverbindung");
    form->FillInternetList();
    EXPECT_EQ(form->FInternetNames, (std::vector<std::string>{"LAN-Verbindung", "Drahtlosnetzwerkverbindung"}));
    EXPECT_EQ(form->cbInternet.Items().size(), 2u);
    EXPECT_EQ(form->cbInternet.ItemIndex(), 1);
    ASSERT_TRUE(machine::SetFault(fault, 0));
  }
}

TEST_F(SharingTest, ShowSequenceSurvivesAnUnreachableSharingManager) {
  ASSERT_TRUE(machine::SetFault("Sharing\\Unavailable", 1));
  ShowForm();
  EXPECT_TRUE(form->FSettingsLoaded);
  EXPECT_TRUE(form->rbAutomaticConfigVWiFi.Checked());
  EXPECT_EQ(form->cbInternet.ItemIndex(), 0);
  EXPECT_TRUE(form->btnOK.Enabled());
}

TEST_F(SharingTest, ShareInternetLeavesOnlyTheTwoNamedConnectionsSharing) {
  StartHostedNetworkDirectly();
  form->FillInternetList();
  form->EnableSharingOn("Drahtlosnetzwerkverbindung", platform::kSharingTypePublic);
  ASSERT_EQ(SharingConnections(), (std::vector<std::string>{"Drahtlosnetzwerkverbindung:public"}));
  EXPECT_TRUE(form->ShareInternet("LAN-Verbindung", HostedConnectionName()));
  EXPECT_EQ(SharingConnections(),
            (std::vector<std::string>{"LAN-Verbindung:public", HostedConnectionName() + ":private"}));
  EXPECT_EQ(clock.Now(), 0ms);

  form->StopSharing();
  EXPECT_TRUE(SharingConnections().empty());
}

TEST_F(SharingTest, RetrySchemePausesOnlyAfterFailedPasses) {
  const struct {
    const char* what;
    const char* fault;
    std::uint32_t value;
    const char* name;
    std::chrono::milliseconds paused;
    bool shared;
  } rows[] = {
      {"first pass succeeds", nullptr, 0, "LAN-Verbindung", 0ms, true},
      {"three failed passes, the fourth succeeds", "Sharing\\FailCalls", 3, "LAN-Verbindung", 6000ms, true},
      {"one failed pass", "Sharing\\FailCalls", 1, "LAN-Verbindung", 2000ms, true},
      {"every pass fails: five, then give up", "Sharing\\FailAlways", 1, "LAN-Verbindung", 10000ms, false},
      {"unknown name: five passes without a pause", nullptr, 0, "Nirgendwo", 0ms, false},
      {"manager unreachable", "Sharing\\Unavailable", 1, "LAN-Verbindung", 10000ms, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    zl::test::EmulatedMachine fresh;
    VirtualClock rowClock;
    PollEventLoop rowLoop{rowClock};
    TfrmMain rowForm(rowLoop, programFolder.Path() + "\\");
    if (row.fault) {
      ASSERT_TRUE(machine::SetFault(row.fault, row.value));
    }
    rowForm.EnableSharingOn(row.name, platform::kSharingTypePublic);
    EXPECT_EQ(rowClock.Now(), row.paused);
    EXPECT_EQ(SharingConnections().size(), row.shared ? 1u : 0u);
  }
}

TEST_F(SharingTest, DisablingUsesTheSameRetries) {
  form->EnableSharingOn("LAN-Verbindung", platform::kSharingTypePublic);
  ASSERT_EQ(SharingConnections().size(), 1u);
  ASSERT_TRUE(machine::SetFault("Sharing\\FailCalls", 2));
  form->DisableSharingOn("LAN-Verbindung");
  EXPECT_EQ(clock.Now(), 4000ms);
  EXPECT_TRUE(SharingConnections().empty());
}

}  // namespace
}  // namespace zl::panel::test
