// The "Verwaltung" page: the three options stored together, and the URL log
// viewer.
#include <gtest/gtest.h>

#include "control_panel/settings/settings_store.h"
#include "shared/syscmd/registry_commands.h"
#include "tests/control_panel/panel_fixture.h"
#include "zl/platform/files.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/process.h"

namespace zl::panel::test {
namespace {

using ManagementOptionsTest = PanelTest;

TEST_F(ManagementOptionsTest, AnyOptionStoresAllThreeFromTheBoxes) {
  ShowForm();
  // Stored values that differ from what the boxes show since loading.
  settings::WriteDisableP2P(true);
  settings::WriteEnableUrlLog(false);
  form->UserClick(form->cbEnableAutoStart);
  EXPECT_FALSE(settings::ReadDisableP2P());
  EXPECT_TRUE(settings::ReadEnableUrlLog());
  EXPECT_EQ(syscmd::ReadRegString(settings::kAutostartKey, settings::kAutostartValue), platform::ProgramFile());
  EXPECT_EQ(form->FSettingsLines[2], "EnableFirewall=0");

  form->UserClick(form->cbEnableUrlLog);
  EXPECT_FALSE(settings::ReadEnableUrlLog());
  EXPECT_EQ(form->FSettingsLines[9], "EnableUrlLog=0");
  form->UserClick(form->cbEnableAutoStart);
  EXPECT_FALSE(syscmd::RegValueExists(settings::kAutostartKey, settings::kAutostartValue));
}

TEST_F(ManagementOptionsTest, AutostartNamedOtherwiseShowsOffAndIsRewritten) {
  syscmd::WriteRegString(settings::kAutostartKey, settings::kAutostartValue, "\"" + platform::ProgramFile() + "\"");
  ShowForm();
  EXPECT_FALSE(form->cbEnableAutoStart.Checked());
  form->UserClick(form->cbEnableAutoStart);
  EXPECT_EQ(syscmd::ReadRegString(settings::kAutostartKey, settings::kAutostartValue), platform::ProgramFile());
}

TEST_F(ManagementOptionsTest, FailedWritesKeepTheBoxAndTheTextFollowsTheStore) {
  ShowForm();
  ASSERT_TRUE(platform::machine::SetFault("RegistryReadOnly", 1));
  form->UserClick(form->cbDisableP2P);
  EXPECT_TRUE(form->cbDisableP2P.Checked());
  EXPECT_FALSE(settings::ReadDisableP2P());
  EXPECT_EQ(form->FSettingsLines[2], "EnableFirewall=0");
}

TEST_F(ManagementOptionsTest, UrlLogViewerOpensWhatExists) {
  // The fixture's clock stands on 2026-01-05.
  const struct {
    const char* what;
    bool folder;
    bool todaysFile;
    bool otherFile;
    std::vector<std::string> opened;
  } rows[] = {
      {"folder and today's file", true, true, false, {"UrlLog\\", "UrlLog\\2026-01-05.txt"}},
      {"folder only", true, false, true, {"UrlLog\\"}},
      {"nothing", false, false, false, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    zl::test::EmulatedMachine fresh;
    zl::test::TempFolder folder;
    TfrmMain viewer(loop, folder.Path() + "\\");
    if (row.folder) {
      ASSERT_TRUE(platform::CreateDirectory(folder.Child("UrlLog")));
    }
    if (row.todaysFile) {
      ASSERT_TRUE(platform::CreateOrTruncateFile(folder.Child("UrlLog\\2026-01-05.txt")));
    }
    if (row.otherFile) {
      ASSERT_TRUE(platform::CreateOrTruncateFile(folder.Child("UrlLog\\2026-01-04.txt")));
    }
    viewer.UserClick(viewer.suiButton3);
    std::string expected;
    for (const std::string& path : row.opened) expected += "open\t" + folder.Path() + "\\" + path + "\n";
    EXPECT_EQ(fresh.ReadFile("Shell.log"), expected);
  }
}

}  // namespace
}  // namespace zl::panel::test
