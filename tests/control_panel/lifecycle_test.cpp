// Program start, the window's create, show and close sequences, captions and
// the language notification.
#include <gtest/gtest.h>

#include <chrono>

#include "control_panel/builtin_captions.h"
#include "control_panel/program_start.h"
#include "shared/netquery/adapter_queries.h"
#include "shared/notify/message_monitor.h"
#include "tests/control_panel/panel_fixture.h"
#include "zl/platform/files.h"
#include "shared/syscmd/registry_commands.h"
#include "shared/syscmd/service_commands.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/service_manager.h"
#include "zl/platform/tcp_socket.h"

namespace zl::panel::test {
namespace {

using namespace std::chrono_literals;
namespace machine = platform::machine;

TEST(ProgramStartTest, RightsAndSecondInstance) {
  const struct {
    const char* what;
    const char* fault;
    bool otherInstance;
    StartOutcome outcome;
    std::string boxes;
  } rows[] = {
      {"administrator, elevated", nullptr, false, StartOutcome::Run, ""},
      {"second instance", nullptr, true, StartOutcome::SecondInstance, ""},
      {"second instance of a non-administrator", "NotAdministrator", true, StartOutcome::SecondInstance, ""},
      {"not an administrator", "NotAdministrator", false, StartOutcome::NotAdministrator,
       "[Zephlink] You must be logged in as an administrator when running this program \n"},
      {"administrator, not elevated", "RegistryReadOnly", false, StartOutcome::NotElevated,
       "[Zephlink] You must run the Zephlink program with administrator rights. Right click on the program, and "
       "click on \"Run as administrator\"\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    zl::test::EmulatedMachine machine;
    if (row.fault) {
      ASSERT_TRUE(machine::SetFault(row.fault, 1));
    }
    platform::NamedMutex running;
    if (row.otherInstance) {
      ASSERT_EQ(running.Create(kSingleInstanceMutexName), platform::NamedMutex::Result::Created);
    }
    platform::NamedMutex mutex;
    EXPECT_EQ(CheckProgramStart(mutex), row.outcome);
    EXPECT_EQ(machine.ReadFile("MessageBoxes.log"), row.boxes);
    // Only a start that goes on keeps the name; a refused one lets it go.
    platform::NamedMutex probe;
    const auto expected = row.outcome == StartOutcome::Run || row.otherInstance
                              ? platform::NamedMutex::Result::AlreadyExists
                              : platform::NamedMutex::Result::Created;
    EXPECT_EQ(probe.Create(kSingleInstanceMutexName), expected);
    // The rights probe leaves nothing behind.
    EXPECT_FALSE(syscmd::RegValueExists("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                                        "{264DE6BC-D37A-4A5D-BAC1-A7513B60D0FF}"));
  }
}

using LifecycleTest = PanelTest;

TEST_F(LifecycleTest, BuiltInCaptionsStandUntilTheFirstLookup) {
  TfrmMain plain(loop, programFolder.Path() + "\\");
  EXPECT_EQ(plain.frmMain.Caption(), "Zephlink");
  EXPECT_EQ(plain.tabSetting.Caption(), "Einstellung");
  EXPECT_EQ(plain.Label6.Caption(), "Netzwerkschl\xFCssel (mindestens 8 Zeichen)");
  EXPECT_EQ(plain.btnOK.Caption(), "Hotspot einrichten und Starten");
  EXPECT_EQ(plain.Label9.Caption(),
            "Nutzung von Filesharing oder P2P-Protokolle \r(Z.b eDonkey,BitTorrent..) duch das integrierte\r"
            "Firewall  vollst\xE4ndig unterbinden");
  EXPECT_EQ(plain.Label2.Caption(), "Zephlink wird automatisch bei jedem\rWindowsstart ausgef\xFChrt");
  EXPECT_EQ(plain.btnLanguage.Caption(), "English");
  EXPECT_EQ(plain.miRestoreBrennick.Caption(), "\xD6" "ffnen");
  EXPECT_EQ(plain.miCloseBrennick.Caption(), "Schliessen");
  EXPECT_EQ(plain.cbDisableP2P.Caption(), "");
  for (const Control* marker : {&plain.imgHotspotNameOK, &plain.imgHotspotNameNo, &plain.imgHotspotKeyOk,
                                &plain.imgHotspotKeyNo, &plain.imgHotspotOnline}) {
    EXPECT_FALSE(marker->Visible()) << marker->Name();
  }
  EXPECT_TRUE(plain.imgHotspotOffline.Visible());
  EXPECT_EQ(plain.FindControl("suiButton3"), &plain.suiButton3);
  EXPECT_EQ(plain.FindControl("nothing"), nullptr);
  EXPECT_EQ(plain.Controls().size(), 37u);
}

TEST_F(LifecycleTest, CreateAuthorisesTheProgramAndFillsTheLanguageMenu) {
  int menus = 0;
  form->OnFillLanguageMenu = [&] { ++menus; };
  form->FormCreate();
  EXPECT_EQ(menus, 1);
  const auto applications = machine::ListFirewallApplications();
  ASSERT_EQ(applications.size(), 1u);
  EXPECT_EQ(applications[0].name, "Zephlink");
  EXPECT_EQ(applications[0].processImageFileName, platform::ProgramFolder() + "Zephlink.exe");
  EXPECT_TRUE(applications[0].enabled);
  EXPECT_TRUE(form->ClientTimer.Enabled());
  EXPECT_FALSE(form->HotspotSocketPingTimer.Enabled());
  EXPECT_FALSE(form->HotspotServiceTimer.Enabled());
  EXPECT_FALSE(form->HotspotServerSocket.Active());
}

TEST_F(LifecycleTest, ShowStartsListeningTimersAndCaptions) {
  ShowForm();
  EXPECT_TRUE(form->HotspotServerSocket.Active());
  EXPECT_EQ(form->HotspotServerSocket.BoundPort(), 7467);
  EXPECT_TRUE(form->HotspotSocketPingTimer.Enabled());
  EXPECT_TRUE(form->HotspotServiceTimer.Enabled());
  EXPECT_EQ(form->FSettingsLines.size(), 10u);
  EXPECT_EQ(form->tabSetting.Caption(), "text 1");
  EXPECT_EQ(form->Label2.Caption(), "text 19");
  EXPECT_EQ(form->btnOK.Caption(), "text 9");
  EXPECT_EQ(form->btnLanguage.Caption(), "Deutsch");
  EXPECT_EQ(form->miRestoreBrennick.Caption(), "\xD6" "ffnen");  // never translated
}

TEST_F(LifecycleTest, ShowWithTheHostedAdapterPresentRestartsTheHotspot) {
  StartHostedNetworkDirectly();
  ShowForm();
  EXPECT_TRUE(form->FHotspotRunning);
  EXPECT_TRUE(form->rbManualConfigVWiFi.Checked());
  EXPECT_EQ(form->btnOK.Caption(), "text 22");
  EXPECT_TRUE(form->btnOK.Enabled());
  EXPECT_FALSE(form->edHotspotName.Enabled());
  EXPECT_EQ(form->FOwnMac, netquery::GetHostedNetworkMAC());
  EXPECT_TRUE(form->imgHotspotOnline.Visible());
  EXPECT_EQ(NetshLines().back(), "netsh wlan start hostednetwork");
}

TEST_F(LifecycleTest, CloseStopsOnlyListeningAndPinging) {
  ShowForm();
  form->UserClick(form->btnOK);
  ASSERT_TRUE(form->FHotspotRunning);
  const auto sharing = SharingConnections();
  const std::size_t commands = NetshLines().size();
  form->FormClose();
  EXPECT_FALSE(form->HotspotServerSocket.Active());
  EXPECT_FALSE(form->HotspotSocketPingTimer.Enabled());
  EXPECT_TRUE(form->HotspotServiceTimer.Enabled());
  EXPECT_EQ(NetshLines().size(), commands);
  EXPECT_TRUE(machine::ReadHostedNetwork().started);
  EXPECT_EQ(SharingConnections(), sharing);

  // The next start finds the adapter and shows the hotspot running.
  form.reset();
  form = std::make_unique<TfrmMain>(loop, programFolder.Path() + "\\");
  ShowForm();
  EXPECT_TRUE(form->FHotspotRunning);
}

// Another program holding the port must not leave the window without its
// supervision or its captions.
TEST_F(LifecycleTest, ShowGoesOnWhenThePortIsTaken) {
  int error = 0;
  const platform::SocketHandle taken = platform::ListenTcp("127.0.0.1", 7467, error);
  ASSERT_NE(taken, platform::kInvalidSocket);
  ShowForm();
  EXPECT_FALSE(form->HotspotServerSocket.Active());
  EXPECT_TRUE(form->HotspotSocketPingTimer.Enabled());
  EXPECT_TRUE(form->HotspotServiceTimer.Enabled());
  EXPECT_EQ(form->tabSetting.Caption(), "text 1");
  platform::CloseSocket(taken);
}

TEST_F(LifecycleTest, LanguageNotificationRecaptionsTheWindow) {
  ShowForm();
  std::string language = "Polski";
  int flags = 0;
  form->SetLanguageSource({[&](const std::string&, const std::string& key) { return language + " " + key; },
                           [&] { return language; }});
  form->OnApplyLanguageFlag = [&] { ++flags; };
  BroadcastMessage(47);
  EXPECT_EQ(form->tabSetting.Caption(), "text 1");
  EXPECT_EQ(flags, 0);
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);
  EXPECT_EQ(flags, 1);
  EXPECT_EQ(form->btnLanguage.Caption(), "Polski");
  for (const TranslatedCaption& caption : TranslatedCaptions()) {
    EXPECT_EQ(form->FindControl(caption.control)->Caption(), "Polski " + std::string(caption.key)) << caption.key;
  }
  // The set-up button's caption follows the page's state.
  form->UserClick(form->rbManualConfigVWiFi);
  EXPECT_EQ(form->btnOK.Caption(), "Polski 21");
  language = "Dansk";
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);
  EXPECT_EQ(form->btnOK.Caption(), "Dansk 21");
  EXPECT_EQ(form->miCloseBrennick.Caption(), "Schliessen");
}

TEST_F(LifecycleTest, ErrorsInHandlersAreDroppedAndTheWindowGoesOn) {
  ShowForm();
  form->SetLanguageSource({[](const std::string&, const std::string&) -> std::string { throw std::runtime_error("x"); },
                           nullptr});
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);  // the failing lookup ends that handler only
  form->OnShowLanguageMenu = [] { throw std::runtime_error("menu"); };
  form->UserClick(form->btnLanguage);
  form->SetLanguageSource({});
  form->UserEditText(form->edNetworkKey, "1234567");
  EXPECT_FALSE(form->btnOK.Enabled());
  EXPECT_EQ(form->btnOK.Caption(), "Hotspot einrichten und Starten");
}

TEST_F(LifecycleTest, TrayMenuAndLinkReachTheView) {
  int restored = 0;
  int closed = 0;
  form->OnRestoreRequested = [&] { ++restored; };
  form->OnCloseRequested = [&] { ++closed; };
  ShowForm();
  form->UserClick(form->miRestoreBrennick);
  form->UserClick(form->miCloseBrennick);
  EXPECT_EQ(restored, 1);
  EXPECT_EQ(closed, 1);
  form->UserClick(form->RzURLLabel1);
  EXPECT_EQ(machine.ReadFile("Shell.log"), "open\thttps://www.zephlink.example/\n");
  form->UserSelectPage(2);
  EXPECT_EQ(form->pcMain.PageIndex(), 2);
}

TEST_F(LifecycleTest, ServiceCheckStartsTheServiceAndRetriesQuietly) {
  {
    platform::ServiceManagerHandle manager;
    ASSERT_EQ(manager.Connect("", platform::kScManagerAllAccess), 0u);
    platform::ServiceConfig config;
    config.name = kFilterServiceName;
    config.displayName = "Zephlink Service";
    config.startType = platform::kServiceDemandStart;
    config.binaryPath = "\"" + zl::test::EmulatedMachine::ProgramsFolder() + "/zlsvcdemo\" --name=" + kFilterServiceName;
    platform::ServiceHandle service;
    ASSERT_EQ(manager.RegisterService(config, platform::kServiceAllAccess, service), 0u);
  }
  ASSERT_TRUE(machine::SetFault("Services\\ZephlinkService\\StartError", 1053));
  ShowForm();
  EXPECT_EQ(syscmd::GetServiceState("", kFilterServiceName), platform::kServiceStopped);

  ASSERT_TRUE(machine::SetFault("Services\\ZephlinkService\\StartError", 0));
  ASSERT_TRUE(machine::SetFaultText("Services\\ZephlinkService\\StatusScript", {"2,1,2000", "4,0,0"}));
  loop.RunFor(std::chrono::milliseconds(kServiceTimerInterval));
  EXPECT_EQ(syscmd::GetServiceState("", kFilterServiceName), platform::kServiceRunning);
  EXPECT_TRUE(machine.ReadFile("MessageBoxes.log").empty());
}

}  // namespace
}  // namespace zl::panel::test
