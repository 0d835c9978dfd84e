// The window's construction, its show and close sequences, the forwarding of
// the user's actions, and its captions.
#include "control_panel/main_form.h"

#include "control_panel/builtin_captions.h"
#include "control_panel/dropped_errors.h"
#include "shared/messaging/message_codes.h"
#include "shared/syscmd/firewall_commands.h"
#include "zl/platform/files.h"
#include "zl/platform/process.h"

namespace zl::panel {

TfrmMain::TfrmMain(EventLoop& loop, std::string programFolder)
    : ClientTimer(loop),
      HotspotServerSocket(loop),
      HotspotSocketPingTimer(loop),
      HotspotServiceTimer(loop),
      loop_(loop),
      programFolder_(programFolder.empty() ? platform::ProgramFolder() : std::move(programFolder)) {
  BuildControls();
  WireEvents();
}

TfrmMain::~TfrmMain() {
  OnControlChanged = nullptr;
  OnClientsChanged = nullptr;
  clients_.clear();
}

void TfrmMain::BuildControls() {
  controls_ = {&frmMain,         &pcMain,           &tabSetting,        &rbAutomaticConfigVWiFi,
               &Label4,          &edHotspotName,    &imgHotspotNameOK,  &imgHotspotNameNo,
               &Label6,          &edNetworkKey,     &imgHotspotKeyOk,   &imgHotspotKeyNo,
               &cbEnableICS,     &cbInternet,       &rbManualConfigVWiFi, &btnOK,
               &Shape1,          &RzURLLabel1,      &imgHotspotOnline,  &imgHotspotOffline,
               &tabClients,      &sbClients,        &tabMangement,      &suiGroupBox4,
               &Label3,          &btnLanguage,      &suiGroupBox1,      &cbDisableP2P,
               &Label9,          &suiGroupBox2,     &cbEnableUrlLog,    &suiButton3,
               &suiGroupBox3,    &cbEnableAutoStart, &Label2,           &miRestoreBrennick,
               &miCloseBrennick};
  for (const TranslatedCaption& caption : TranslatedCaptions()) FindControl(caption.control)->SetCaption(caption.builtIn);
  btnLanguage.SetCaption("English");
  miRestoreBrennick.SetCaption("\xD6" "ffnen");
  miCloseBrennick.SetCaption("Schliessen");
  for (Control* marker : {&imgHotspotNameOK, &imgHotspotNameNo, &imgHotspotKeyOk, &imgHotspotKeyNo, &imgHotspotOnline}) {
    marker->SetVisible(false);
  }
  rbAutomaticConfigVWiFi.JoinRadioGroup(rbManualConfigVWiFi);
  for (Control* control : controls_) control->SetObserver(&OnControlChanged);

  ClientTimer.SetInterval(kClientTimerInterval);
  HotspotServerSocket.SetPort(kControlPanelPort);
  HotspotServerSocket.SetBindAddress(kHotspotLinkBindAddress);
  HotspotServerSocket.SetServerType(stNonBlocking);
  HotspotServerSocket.SetThreadCacheSize(10);
  HotspotSocketPingTimer.SetEnabled(false);
  HotspotSocketPingTimer.SetInterval(kPingTimerInterval);
  HotspotServiceTimer.SetEnabled(false);
  HotspotServiceTimer.SetInterval(kServiceTimerInterval);
}

void TfrmMain::WireEvents() {
  rbAutomaticConfigVWiFi.OnClick = [this] { UpdateSetupControls(); };
  rbManualConfigVWiFi.OnClick = [this] { UpdateSetupControls(); };
  edHotspotName.OnChange = [this] { UpdateSetupControls(); };
  edNetworkKey.OnChange = [this] { UpdateSetupControls(); };
  cbEnableICS.OnClick = [this] { UpdateSetupControls(); };
  cbInternet.OnChange = [this] { UpdateSetupControls(); };
  btnOK.OnClick = [this] { btnOKClick(); };
  RzURLLabel1.OnClick = [this] { RzURLLabel1Click(); };
  btnLanguage.OnClick = [this] { btnLanguageClick(); };
  cbDisableP2P.OnClick = [this] { cbDisableP2PClick(); };
  cbEnableUrlLog.OnClick = [this] { cbDisableP2PClick(); };
  cbEnableAutoStart.OnClick = [this] { cbDisableP2PClick(); };
  suiButton3.OnClick = [this] { suiButton3Click(); };
  miRestoreBrennick.OnClick = [this] { miRestoreBrennickClick(); };
  miCloseBrennick.OnClick = [this] { miCloseBrennickClick(); };

  // Timers and sockets deliver into the window's handlers; whatever escapes
  // a handler is dropped as the application's handler drops it.
  ClientTimer.OnTimer = [this] { DropErrors([&] { ClientTimerTimer(); }); };
  HotspotSocketPingTimer.OnTimer = [this] { DropErrors([&] { HotspotSocketPingTimerTimer(); }); };
  HotspotServiceTimer.OnTimer = [this] { DropErrors([&] { HotspotServiceTimerTimer(); }); };
  HotspotServerSocket.OnClientReadComplete = [this](EventSender*, TrkConnectionItem& connection,
                                                    TMemoryStream& message) {
    DropErrors([&] { HotspotServerSocketClientReadComplete(connection, message); });
  };
  rkMessageMonitor1.OnMessage = [this](TMessage& message) { DropErrors([&] { rkMessageMonitor1Message(message); }); };
}

Control* TfrmMain::FindControl(const std::string& name) const {
  for (Control* control : controls_) {
    if (control->Name() == name) return control;
  }
  return nullptr;
}

std::vector<const TfmClient*> TfrmMain::ClientEntries() const {
  std::vector<const TfmClient*> entries;
  for (const auto& entry : clients_) entries.push_back(entry.get());
  return entries;
}

void TfrmMain::FormCreate() {
  FSettingsLoaded = false;
  FSettingsLines.clear();
  FClientLines.clear();
  FInternetNames.clear();
  FInternetAddresses.clear();
  syscmd::AuthorizeProgramInFirewall();
  DropErrors([&] {
    if (OnFillLanguageMenu) OnFillLanguageMenu();
  });
}

// Each step guards itself: a step that fails (the port taken by another
// program, say) must not keep the timers from running or the captions from
// being set, or the window would stand half shown with no supervision.
void TfrmMain::FormShow() {
  DropErrors([&] { pcMain.SetPageIndex(0); });
  DropErrors([&] { HotspotServiceTimerTimer(); });
  DropErrors([&] { LoadSettings(); });
  DropErrors([&] { BuildSettingsText(); });
  DropErrors([&] { SetHotspotRunning(true); });
  DropErrors([&] { HotspotServerSocket.SetActive(true); });
  HotspotSocketPingTimer.SetEnabled(true);
  HotspotServiceTimer.SetEnabled(true);
  DropErrors([&] { ApplyLanguageTexts(); });
}

void TfrmMain::FormClose() {
  HotspotSocketPingTimer.SetEnabled(false);
  DropErrors([&] { HotspotServerSocket.SetActive(false); });
}

void TfrmMain::UserClick(Control& control) {
  if (!control.Enabled()) return;
  DropErrors([&] {
    switch (control.Kind()) {
      case ControlKind::CheckBox:
        control.SetChecked(!control.Checked());
        break;
      case ControlKind::RadioButton:
        control.SetChecked(true);
        break;
      default:
        if (control.OnClick) control.OnClick();
        break;
    }
  });
}

void TfrmMain::UserEditText(Control& control, const std::string& text) {
  if (!control.Enabled()) return;
  DropErrors([&] { control.SetText(text); });
}

void TfrmMain::UserSelectItem(Control& control, int index) {
  if (!control.Enabled() || index == control.ItemIndex()) return;
  DropErrors([&] {
    control.SetItemIndex(index);
    if (control.OnChange) control.OnChange();
  });
}

void TfrmMain::UserSelectPage(int index) {
  if (index < 0 || index > 2) return;
  pcMain.SetPageIndex(index);
}

void TfrmMain::miRestoreBrennickClick() {
  if (OnRestoreRequested) OnRestoreRequested();
}

void TfrmMain::miCloseBrennickClick() {
  if (OnCloseRequested) OnCloseRequested();
}

void TfrmMain::rkMessageMonitor1Message(TMessage& Msg) {
  if (Msg.Msg == NOTIFY_LANGUAGE_CHANGED) ApplyLanguageTexts();
}

void TfrmMain::RzURLLabel1Click() {
  platform::ProcessHandle browser;
  platform::ExecuteWithShell({"open", kProductPageUrl, "", "", platform::kShowNormal}, browser);
}

void TfrmMain::btnLanguageClick() {
  if (OnShowLanguageMenu) OnShowLanguageMenu();
}

std::string TfrmMain::LanguageText(const std::string& key) const {
  if (!language_.LanguageText) return BuiltInLanguageText(kMainWindowSection, key);
  return language_.LanguageText(kMainWindowSection, key);
}

std::string TfrmMain::SetupButtonCaptionKey() const {
  if (FHotspotRunning) return "22";
  // A language change handled inside one of the set-up's waits keeps the
  // set-up's own caption.
  if (automaticSetupRunning_) return "20";
  return rbAutomaticConfigVWiFi.Checked() ? "9" : "21";
}

void TfrmMain::SetSetupButtonCaption(const std::string& key) { btnOK.SetCaption(LanguageText(key)); }

void TfrmMain::ApplyLanguageTexts() {
  if (language_.CurrentLanguage) btnLanguage.SetCaption(language_.CurrentLanguage());
  if (OnApplyLanguageFlag) OnApplyLanguageFlag();
  for (const TranslatedCaption& caption : TranslatedCaptions()) {
    if (std::string(caption.key) == "9") {
      SetSetupButtonCaption(SetupButtonCaptionKey());
    } else {
      FindControl(caption.control)->SetCaption(LanguageText(caption.key));
    }
  }
}

void TfrmMain::ClientsChanged() {
  if (!OnClientsChanged) return;
  try {
    OnClientsChanged();
  } catch (...) {
    // The view's trouble, not the list's.
  }
}

}  // namespace zl::panel
