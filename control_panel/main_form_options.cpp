// The "Verwaltung" page: the three options stored on a click of any of them,
// the settings text rebuilt and sent at once, and the URL log viewer.
#include <cstdio>

#include "control_panel/main_form.h"
#include "control_panel/settings/settings_store.h"
#include "shared/syscmd/open_document.h"
#include "zl/platform/files.h"
#include "zl/platform/process.h"

namespace zl::panel {

void TfrmMain::cbDisableP2PClick() { ApplyManagementOptions(); }

void TfrmMain::ApplyManagementOptions() {
  // LoadSettings sets the boxes, which raises their clicks: nothing is stored then.
  if (!FSettingsLoaded) return;
  settings::WriteDisableP2P(cbDisableP2P.Checked());
  settings::WriteEnableUrlLog(cbEnableUrlLog.Checked());
  settings::WriteAutoStart(cbEnableAutoStart.Checked());
  BuildSettingsText();
  SendSettingsToAll();
}

void TfrmMain::suiButton3Click() {
  const std::string folder = programFolder_ + "UrlLog\\";
  if (platform::DirectoryExists(folder)) {
    platform::ProcessHandle browser;
    platform::ExecuteWithShell({"open", folder, "", "", platform::kShowNormal}, browser);
  }
  const LocalDateTime today = loop_.GetClock().LocalNow();
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", static_cast<int>(today.year), static_cast<int>(today.month),
                static_cast<int>(today.day));
  syscmd::OpenDocument(folder + date + ".txt");
}

}  // namespace zl::panel
