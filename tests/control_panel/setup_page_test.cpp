// The set-up page's input checks, markers, enabling and captions.
#include <gtest/gtest.h>

#include "control_panel/settings/settings_store.h"
#include "shared/syscmd/registry_commands.h"
#include "tests/control_panel/panel_fixture.h"

namespace zl::panel::test {
namespace {

struct Markers {
  bool nameOk;
  bool keyOk;
  bool button;
};

Markers MarkersOf(const TfrmMain& form) {
  EXPECT_NE(form.imgHotspotNameOK.Visible(), form.imgHotspotNameNo.Visible());
  EXPECT_NE(form.imgHotspotKeyOk.Visible(), form.imgHotspotKeyNo.Visible());
  return {form.imgHotspotNameOK.Visible(), form.imgHotspotKeyOk.Visible(), form.btnOK.Enabled()};
}

using SetupPageTest = PanelTest;

TEST_F(SetupPageTest, FirstStartShowsTheDefaultsInAutomaticMode) {
  ShowForm();
  EXPECT_EQ(form->edHotspotName.Text(), "Zephlink");
  EXPECT_EQ(form->edNetworkKey.Text(), "40718263");
  EXPECT_TRUE(form->cbEnableICS.Checked());
  EXPECT_FALSE(form->cbDisableP2P.Checked());
  EXPECT_TRUE(form->cbEnableUrlLog.Checked());
  EXPECT_FALSE(form->cbEnableAutoStart.Checked());
  EXPECT_TRUE(form->rbAutomaticConfigVWiFi.Checked());
  EXPECT_FALSE(form->rbManualConfigVWiFi.Checked());
  EXPECT_TRUE(form->FSettingsLoaded);
  EXPECT_TRUE(form->btnOK.Enabled());
  EXPECT_EQ(form->btnOK.Caption(), "text 9");
  EXPECT_TRUE(form->imgHotspotOffline.Visible());
  EXPECT_FALSE(form->imgHotspotOnline.Visible());
  EXPECT_EQ(form->pcMain.PageIndex(), 0);
  // Loading the boxes raised their clicks, which stored nothing.
  EXPECT_FALSE(syscmd::RegValueExists(settings::kSettingsKey, "DisableP2P"));
  EXPECT_FALSE(syscmd::RegValueExists(settings::kSettingsKey, "EnableUrlLog"));
}

TEST_F(SetupPageTest, InputChecksDecideMarkersAndButton) {
  const std::string name32(32, 'n');
  const std::string key63(63, 'k');
  const struct {
    const char* what;
    std::string name;
    std::string key;
    Markers expected;
  } rows[] = {
      {"valid", "Zephlink", "12345678", {true, true, true}},
      {"key of 7", "Zephlink", "1234567", {true, false, false}},
      {"key of 8 blanks", "Zephlink", "        ", {true, false, false}},
      {"key of 7 inside blanks", "Zephlink", "  1234567  ", {true, false, false}},
      {"empty name", "", "12345678", {false, true, false}},
      {"blank name", "   ", "12345678", {false, true, false}},
      {"both empty", "", "", {false, false, false}},
      {"name of 32", name32, "12345678", {true, true, true}},
      {"name of 33", name32 + "n", "12345678", {false, true, false}},
      {"key of 63", "Net", key63, {true, true, true}},
      {"key of 64", "Net", key63 + "k", {true, false, false}},
      {"quote in name", "My \"Net", "12345678", {false, true, false}},
      {"percent in name", "50%Net", "12345678", {false, true, false}},
      {"tab in name", "My\tNet", "12345678", {false, true, false}},
      {"final backslash in name", "Net\\", "12345678", {false, true, false}},
      {"inner backslash in name", "Net\\Work", "12345678", {true, true, true}},
      {"quote in key", "Net", "1234\"5678", {true, false, false}},
      {"percent in key", "Net", "%PATH%12345", {true, false, false}},
      {"control character in key", "Net", "1234\x01" "5678", {true, false, false}},
      {"final backslash in key", "Net", "12345678\\", {true, false, false}},
      {"blanks around the name", "  My Net  ", "12345678", {true, true, true}},
  };
  ShowForm();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    form->UserEditText(form->edHotspotName, row.name);
    form->UserEditText(form->edNetworkKey, row.key);
    const Markers shown = MarkersOf(*form);
    EXPECT_EQ(shown.nameOk, row.expected.nameOk);
    EXPECT_EQ(shown.keyOk, row.expected.keyOk);
    EXPECT_EQ(shown.button, row.expected.button);
  }
}

TEST_F(SetupPageTest, ManualModeFollowsTheHostedAdapterNotTheFields) {
  ShowForm();
  form->UserEditText(form->edNetworkKey, "short");
  form->UserClick(form->rbManualConfigVWiFi);
  EXPECT_FALSE(form->rbAutomaticConfigVWiFi.Checked());
  EXPECT_EQ(form->btnOK.Caption(), "text 21");
  EXPECT_FALSE(form->btnOK.Enabled());  // no hosted adapter
  EXPECT_TRUE(form->imgHotspotKeyNo.Visible());
  EXPECT_FALSE(form->edHotspotName.Enabled());
  EXPECT_FALSE(form->edNetworkKey.Enabled());
  EXPECT_FALSE(form->cbEnableICS.Enabled());
  EXPECT_FALSE(form->cbInternet.Enabled());

  StartHostedNetworkDirectly();
  form->UserClick(form->rbManualConfigVWiFi);  // already checked: nothing new
  EXPECT_FALSE(form->btnOK.Enabled());
  form->UserClick(form->rbAutomaticConfigVWiFi);
  EXPECT_FALSE(form->btnOK.Enabled());  // the key is still short
  form->UserClick(form->rbManualConfigVWiFi);
  EXPECT_TRUE(form->btnOK.Enabled());
  EXPECT_TRUE(form->imgHotspotKeyNo.Visible());
}

TEST_F(SetupPageTest, InternetListIsEnabledOnlyWithSharingInAutomaticMode) {
  ShowForm();
  EXPECT_TRUE(form->cbInternet.Enabled());
  form->UserClick(form->cbEnableICS);
  EXPECT_FALSE(form->cbEnableICS.Checked());
  EXPECT_FALSE(form->cbInternet.Enabled());
  form->UserClick(form->cbInternet);  // disabled: no effect
  form->UserClick(form->cbEnableICS);
  EXPECT_TRUE(form->cbInternet.Enabled());
}

TEST_F(SetupPageTest, DisabledControlsTakeNoUserAction) {
  ShowForm();
  form->UserClick(form->rbManualConfigVWiFi);
  form->UserEditText(form->edHotspotName, "Typed");
  EXPECT_EQ(form->edHotspotName.Text(), "Zephlink");
  form->UserClick(form->btnOK);  // disabled: no set-up
  EXPECT_TRUE(NetshLines().size() == 1u);  // the stop of the show sequence only
}

TEST_F(SetupPageTest, ChangeNotificationReportsEachChangedControl) {
  std::vector<std::string> changed;
  form->OnControlChanged = [&](const Control& control) { changed.push_back(control.Name()); };
  ShowForm();
  changed.clear();
  form->UserEditText(form->edNetworkKey, "1234567");
  EXPECT_NE(std::find(changed.begin(), changed.end(), "edNetworkKey"), changed.end());
  EXPECT_NE(std::find(changed.begin(), changed.end(), "imgHotspotKeyNo"), changed.end());
  EXPECT_NE(std::find(changed.begin(), changed.end(), "btnOK"), changed.end());
  EXPECT_EQ(std::find(changed.begin(), changed.end(), "edHotspotName"), changed.end());

  // A view that fails while mirroring does not stop the window.
  form->OnControlChanged = [](const Control&) { throw std::runtime_error("view"); };
  form->UserEditText(form->edNetworkKey, "12345678");
  EXPECT_TRUE(form->btnOK.Enabled());
  EXPECT_TRUE(form->imgHotspotKeyOk.Visible());
}

}  // namespace
}  // namespace zl::panel::test
