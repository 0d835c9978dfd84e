// The "Einstellung" page: stored settings into and out of the page, its input
// checks, the set-up button's sequences and the hotspot's running state.
#include <chrono>

#include "control_panel/main_form.h"
#include "control_panel/settings/settings_store.h"
#include "control_panel/settings/settings_text.h"
#include "control_panel/setup_input.h"
#include "shared/netquery/adapter_queries.h"
#include "shared/support/trim.h"
#include "shared/syscmd/hosted_network_commands.h"

namespace zl::panel {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPauseAfterStart{5000};
constexpr milliseconds kAdapterPollPause{1000};
constexpr int kAdapterPolls = 9;

}  // namespace

void TfrmMain::BuildSettingsText() { settings::BuildSettingsText(FSettingsLines); }

void TfrmMain::LoadSettings() {
  FSettingsLoaded = false;
  edHotspotName.SetText(settings::ReadHotspotName());
  edNetworkKey.SetText(settings::ReadHotspotKey());
  cbEnableICS.SetChecked(settings::ReadEnableICS());
  cbDisableP2P.SetChecked(settings::ReadDisableP2P());
  cbEnableUrlLog.SetChecked(settings::ReadEnableUrlLog());
  cbEnableAutoStart.SetChecked(settings::ReadAutoStart());
  FillInternetList();
  if (HostedAdapterPresent()) {
    rbManualConfigVWiFi.SetChecked(true);
  } else {
    rbAutomaticConfigVWiFi.SetChecked(true);
  }
  FSettingsLoaded = true;
  UpdateSetupControls();
}

void TfrmMain::SaveHotspotSettings() {
  settings::WriteHotspotName(edHotspotName.Text());
  settings::WriteHotspotKey(edNetworkKey.Text());
  settings::WriteEnableICS(cbEnableICS.Checked());
  if (cbEnableICS.Checked() && !FInternetNames.empty()) {
    // A selection outside the list ends the set-up here (it cannot happen
    // in use: the list always has a selection when it has entries).
    settings::WriteInternet(FInternetNames.at(static_cast<std::size_t>(cbInternet.ItemIndex())));
  } else {
    settings::WriteInternet("");
  }
}

void TfrmMain::UpdateSetupControls() {
  const bool automatic = rbAutomaticConfigVWiFi.Checked();
  rbAutomaticConfigVWiFi.SetEnabled(true);
  rbManualConfigVWiFi.SetEnabled(true);
  edHotspotName.SetEnabled(automatic);
  edNetworkKey.SetEnabled(automatic);
  cbEnableICS.SetEnabled(automatic);
  cbInternet.SetEnabled(automatic && cbEnableICS.Checked());

  const bool nameAccepted = HotspotNameAccepted(edHotspotName.Text());
  const bool keyAccepted = HotspotKeyAccepted(edNetworkKey.Text());
  imgHotspotNameOK.SetVisible(nameAccepted);
  imgHotspotNameNo.SetVisible(!nameAccepted);
  imgHotspotKeyOk.SetVisible(keyAccepted);
  imgHotspotKeyNo.SetVisible(!keyAccepted);

  // While the button's own sequence runs it stays disabled: an edit or a
  // radio click handled inside one of its waits must not offer a second
  // set-up on top of the first.
  if (setupSequenceRunning_) {
    if (!automaticSetupRunning_) SetSetupButtonCaption(automatic ? "9" : "21");
    return;
  }
  if (automatic) {
    btnOK.SetEnabled(nameAccepted && keyAccepted);
    SetSetupButtonCaption("9");
  } else {
    SetSetupButtonCaption("21");
    btnOK.SetEnabled(HostedAdapterPresent());
  }
}

void TfrmMain::btnOKClick() {
  if (setupSequenceRunning_) return;
  btnOK.SetEnabled(false);
  setupSequenceRunning_ = true;
  try {
    if (FHotspotRunning) {
      SetHotspotRunning(false);
    } else {
      if (rbAutomaticConfigVWiFi.Checked()) {
        automaticSetupRunning_ = true;
        SetSetupButtonCaption("20");
        SaveHotspotSettings();
        syscmd::SetHostedNetwork(edHotspotName.Text(), edNetworkKey.Text());
        syscmd::StartHostedNetwork();
        Clock& clock = loop_.GetClock();
        clock.Pause(kPauseAfterStart);
        for (int poll = 0; poll < kAdapterPolls; ++poll) {
          if (HostedAdapterPresent()) break;
          clock.Pause(kAdapterPollPause);
        }
        if (!cbEnableICS.Checked()) {
          StopSharing();
        } else if (HostedAdapterPresent() && cbInternet.ItemIndex() >= 0) {
          LockSetupControls();
          ShareInternet(FInternetNames.at(static_cast<std::size_t>(cbInternet.ItemIndex())),
                        netquery::GetHostedNetworkConnectionName());
        }
        automaticSetupRunning_ = false;
      }
      SetHotspotRunning(true);
    }
  } catch (...) {
    // The sequence ends where it failed; the button comes back below.
  }
  automaticSetupRunning_ = false;
  setupSequenceRunning_ = false;
  btnOK.SetEnabled(true);
}

void TfrmMain::SetHotspotRunning(bool run) {
  if (run == FHotspotRunning) return;
  if (run && HostedAdapterPresent()) {
    FHotspotRunning = true;
    syscmd::StartHostedNetwork();
    SetSetupButtonCaption("22");
    LockSetupControls();
    FOwnMac = netquery::GetHostedNetworkMAC();
  } else {
    FHotspotRunning = false;
    syscmd::StopHostedNetwork();
    LoadSettings();
    RemoveAllClients();
  }
  imgHotspotOnline.SetVisible(FHotspotRunning);
  imgHotspotOffline.SetVisible(!FHotspotRunning);
}

bool TfrmMain::HostedAdapterPresent() const { return !Trim(netquery::GetHostedNetworkConnectionName()).empty(); }

void TfrmMain::LockSetupControls() {
  for (Control* input :
       {&rbAutomaticConfigVWiFi, &edHotspotName, &edNetworkKey, &cbEnableICS, &cbInternet, &rbManualConfigVWiFi}) {
    input->SetEnabled(false);
  }
}

}  // namespace zl::panel
