// The real window, headless, over a fresh emulated machine: a set-up driven
// through the widgets, client entries from a report, the language switched
// from the menu, the sizes the window keeps, and screenshots of the three
// pages stopped and running in German and English.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextDocumentFragment>

#include "control_panel/builtin_captions.h"
#include "control_panel/view_qt/pictures.h"
#include "control_panel/view_qt/text_conversion.h"
#include "control_panel/view_qt/window_layout.h"
#include "shared/netquery/adapter_queries.h"
#include "zl/platform/files.h"
#include "tests/control_panel/view_qt/window_fixture.h"

namespace zl::view::test {
namespace {

QString Utf8(const char* text) { return QString::fromUtf8(text); }

QRect InWindow(QWidget* widget, QWidget* window) {
  return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// Every caption of the window fits its widget: nothing is cut off.
void ExpectNoCutCaptions(MainWindow& window, const std::string& when) {
  for (QLabel* label : window.findChildren<QLabel*>()) {
    if (!label->isVisibleTo(&window) || label->text().isEmpty() || label->textFormat() == Qt::RichText) continue;
    const QFontMetrics metrics(label->font());
    for (const QString& line : label->text().split('\n')) {
      EXPECT_LE(metrics.horizontalAdvance(line), label->width())
          << when << ": " << label->objectName().toStdString() << " cuts \"" << line.toStdString() << "\"";
    }
    EXPECT_LE(metrics.lineSpacing() * label->text().count('\n') + metrics.height(), label->height())
        << when << ": " << label->objectName().toStdString() << " cuts lines";
  }
  for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(&window) || button->text().isEmpty()) continue;
    EXPECT_LE(button->sizeHint().width(), button->width())
        << when << ": " << button->objectName().toStdString() << " cuts \"" << button->text().toStdString() << "\"";
  }
  for (QGroupBox* group : window.findChildren<QGroupBox*>()) {
    EXPECT_LE(QFontMetrics(group->font()).horizontalAdvance(group->title()) + 16, group->width())
        << when << ": " << group->objectName().toStdString();
  }
}

class Window : public WindowTest {};

TEST_F(Window, KeepsTheSizesAndOrderOfItsPlaces) {
  ShowWindow();
  EXPECT_EQ(window->size(), QSize(kClientWidth, kClientHeight));
  EXPECT_EQ(window->windowTitle(), "Zephlink");
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);

  QWidget* header = window->findChild<QWidget*>("rkPanel1");
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->geometry(), QRect(0, 0, kClientWidth, kHeaderHeight));
  EXPECT_EQ(window->findChild<QLabel*>("lbProductName")->text(), "Zephlink");
  for (int i = 1; i <= 4; ++i) {
    QLabel* image = window->findChild<QLabel*>(QStringLiteral("imgHeader%1").arg(i));
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(image->pixmap().isNull());
    EXPECT_TRUE(header->geometry().contains(InWindow(image, window.get())));
  }
  QTabWidget* pages = window->Pages();
  EXPECT_EQ(pages->geometry(), QRect(0, kHeaderHeight, kClientWidth, kClientHeight - kHeaderHeight));
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->currentIndex(), 0);
  EXPECT_EQ(pages->tabText(0), "Einstellung");
  EXPECT_EQ(pages->tabText(1), "Clients");
  EXPECT_EQ(pages->tabText(2), "Verwaltung");

  // The set-up page from top to bottom in the order of the window's table.
  const char* order[] = {"rbAutomaticConfigVWiFi", "Label4", "edHotspotName", "Label6", "edNetworkKey",
                         "cbEnableICS", "cbInternet", "rbManualConfigVWiFi", "btnOK", "Shape1", "RzURLLabel1"};
  int previousBottom = 0;
  for (const char* name : order) {
    QWidget* widget = Widget(name);
    EXPECT_GE(widget->y(), previousBottom) << name;
    previousBottom = widget->geometry().bottom();
    EXPECT_LE(widget->geometry().right(), pages->widget(0)->width()) << name;
  }
  EXPECT_GE(Widget("btnOK")->width(), pages->widget(0)->width() - 20);  // full width

  // Markers: 16 by 16 at the right end of their field, both of a pair at one place.
  const std::pair<const char*, std::pair<const char*, const char*>> markers[] = {
      {"edHotspotName", {"imgHotspotNameOK", "imgHotspotNameNo"}},
      {"edNetworkKey", {"imgHotspotKeyOk", "imgHotspotKeyNo"}}};
  for (const auto& [field, pair] : markers) {
    const QRect edit = Widget(field)->geometry();
    const QRect ok = Widget(pair.first)->geometry();
    EXPECT_EQ(ok.size(), QSize(kMarkerSize, kMarkerSize));
    EXPECT_EQ(Widget(pair.second)->geometry(), ok);
    EXPECT_TRUE(edit.contains(ok)) << field;
    EXPECT_GE(ok.left(), edit.right() - 2 * kMarkerSize) << field;
  }
  // Status icons: 32 by 32 at the bottom right, one place.
  const QRect online = Widget("imgHotspotOnline")->geometry();
  EXPECT_EQ(online.size(), QSize(kStatusIconSize, kStatusIconSize));
  EXPECT_EQ(Widget("imgHotspotOffline")->geometry(), online);
  EXPECT_GE(online.right(), pages->widget(0)->width() - 16);
  EXPECT_GE(online.top(), Widget("btnOK")->geometry().bottom());

  // The management page's groups stand in the order Sprache, FileSharing, URL, Autostart.
  const char* groups[] = {"suiGroupBox4", "suiGroupBox1", "suiGroupBox2", "suiGroupBox3"};
  previousBottom = 0;
  for (const char* name : groups) {
    QWidget* group = Widget(name);
    EXPECT_GE(group->y(), previousBottom) << name;
    previousBottom = group->geometry().bottom();
  }
  EXPECT_EQ(Widget("btnLanguage")->parentWidget(), Widget("suiGroupBox4"));
  EXPECT_EQ(Widget("cbDisableP2P")->parentWidget(), Widget("suiGroupBox1"));
  EXPECT_EQ(Widget("suiButton3")->parentWidget(), Widget("suiGroupBox2"));
  EXPECT_EQ(Widget("cbEnableAutoStart")->parentWidget(), Widget("suiGroupBox3"));
  EXPECT_EQ(Text("cbDisableP2P"), "");
  EXPECT_EQ(Text("cbEnableAutoStart"), "");
  EXPECT_EQ(Text("Label9").count('\n'), 2);
  EXPECT_EQ(Text("Label2").count('\n'), 1);
}

TEST_F(Window, StartsStoppedWithTheStoredSettingsAndTheShippedLanguage) {
  ShowWindow();
  EXPECT_EQ(Widget<QLineEdit>("edHotspotName")->text(), "Zephlink");
  EXPECT_EQ(Widget<QLineEdit>("edNetworkKey")->text(), "40718263");
  EXPECT_TRUE(Widget<QRadioButton>("rbAutomaticConfigVWiFi")->isChecked());
  EXPECT_FALSE(Widget<QRadioButton>("rbManualConfigVWiFi")->isChecked());
  EXPECT_TRUE(Widget<QCheckBox>("cbEnableICS")->isChecked());
  EXPECT_TRUE(Widget<QCheckBox>("cbEnableUrlLog")->isChecked());
  EXPECT_FALSE(Widget<QCheckBox>("cbDisableP2P")->isChecked());
  EXPECT_GT(Widget<QComboBox>("cbInternet")->count(), 0);
  EXPECT_EQ(Text("btnOK"), "Hotspot einrichten und Starten");
  EXPECT_EQ(Text("Label6"), Utf8("Netzwerkschlüssel (mindestens 8 Zeichen)"));
  EXPECT_TRUE(Widget("imgHotspotNameOK")->isVisible());
  EXPECT_FALSE(Widget("imgHotspotNameNo")->isVisible());
  EXPECT_TRUE(Widget("imgHotspotOffline")->isVisible());
  EXPECT_FALSE(Widget("imgHotspotOnline")->isVisible());
  EXPECT_EQ(window->LanguageButton().Caption(), "Deutsch");
  EXPECT_FALSE(window->LanguageButton().Icon.Icon().Empty());
  EXPECT_FALSE(window->HasTrayIcon());  // no notification area offscreen
  ExpectNoCutCaptions(*window, "German, stopped");
}

TEST_F(Window, TypingFollowsTheInputChecks) {
  ShowWindow();
  auto* key = Widget<QLineEdit>("edNetworkKey");
  key->selectAll();
  QTest::keyClicks(key, "1234567");
  Settle();
  EXPECT_EQ(form->edNetworkKey.Text(), "1234567");
  EXPECT_FALSE(Widget("btnOK")->isEnabled());
  EXPECT_TRUE(Widget("imgHotspotKeyNo")->isVisible());
  EXPECT_FALSE(Widget("imgHotspotKeyOk")->isVisible());
  QTest::keyClicks(key, "8");
  Settle();
  EXPECT_TRUE(Widget("btnOK")->isEnabled());
  EXPECT_TRUE(Widget("imgHotspotKeyOk")->isVisible());

  auto* name = Widget<QLineEdit>("edHotspotName");
  name->selectAll();
  QTest::keyClick(name, Qt::Key_Delete);
  Settle();
  EXPECT_TRUE(Widget("imgHotspotNameNo")->isVisible());
  EXPECT_FALSE(Widget("btnOK")->isEnabled());
  QTest::keyClicks(name, "Caf");
  QTest::sendKeyEvent(QTest::Click, name, Qt::Key_Eacute, Utf8("é"), Qt::NoModifier);
  Settle();
  EXPECT_EQ(form->edHotspotName.Text(), "Caf\xE9");  // the model holds code page 1252

  QTest::mouseClick(Widget("rbManualConfigVWiFi"), Qt::LeftButton);
  Settle();
  EXPECT_TRUE(Widget<QRadioButton>("rbManualConfigVWiFi")->isChecked());
  EXPECT_FALSE(Widget<QRadioButton>("rbAutomaticConfigVWiFi")->isChecked());
  EXPECT_FALSE(Widget("edHotspotName")->isEnabled());
  EXPECT_FALSE(Widget("btnOK")->isEnabled());  // no hosted adapter yet
}

TEST_F(Window, SetUpThroughTheWidgetsShowsClientsAndSwitchesToEnglish) {
  ShowWindow();
  Screenshot("de-stopped-1-einstellung");
  SelectPage(1);
  Screenshot("de-stopped-2-clients");
  SelectPage(2);
  Screenshot("de-stopped-3-verwaltung");
  EXPECT_EQ(form->pcMain.PageIndex(), 2);
  SelectPage(0);

  auto* name = Widget<QLineEdit>("edHotspotName");
  name->selectAll();
  QTest::keyClicks(name, "Cafe Net");
  auto* key = Widget<QLineEdit>("edNetworkKey");
  key->selectAll();
  QTest::keyClicks(key, "geheim123");
  QTest::mouseClick(Widget("cbEnableICS"), Qt::LeftButton);  // no sharing for this set-up
  Settle();
  EXPECT_FALSE(form->cbEnableICS.Checked());
  QTest::mouseClick(Widget("btnOK"), Qt::LeftButton);
  Settle();

  ASSERT_TRUE(form->FHotspotRunning);
  EXPECT_NE(machine.ReadFile("netsh.log").find("ssid=\"Cafe Net\" key=\"geheim123\""), std::string::npos)
      << machine.ReadFile("netsh.log");
  EXPECT_EQ(Text("btnOK"), "Hotspot stoppen");
  EXPECT_TRUE(Widget("imgHotspotOnline")->isVisible());
  EXPECT_FALSE(Widget("imgHotspotOffline")->isVisible());
  EXPECT_FALSE(Widget("edHotspotName")->isEnabled());
  EXPECT_FALSE(Widget("rbAutomaticConfigVWiFi")->isEnabled());

  AddClient("00-1A-2B-3C-4D-5E", "192.168.137.23", "anna-laptop");
  AddClient("00-1A-2B-3C-4D-5F", "192.168.137.42", "telefon-jan");
  form->UpdateClientList("192.168.137.23\r\n192.168.137.42\r\n192.168.137.99");
  Settle();
  const std::vector<QWidget*> entries = window->ClientEntryWidgets();
  ASSERT_EQ(entries.size(), 2u);
  auto* area = Widget<QScrollArea>("sbClients");
  SelectPage(1);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i]->height(), kClientEntryHeight);
    EXPECT_EQ(entries[i]->width(), area->viewport()->width());
    EXPECT_EQ(entries[i]->y(), static_cast<int>(i) * kClientEntryHeight);  // stacked
    auto* picture = entries[i]->findChild<QLabel*>("Image1");
    EXPECT_EQ(picture->size(), QSize(kDevicePictureSize, kDevicePictureSize));
  }
  EXPECT_EQ(entries[0]->findChild<QLabel*>("lbClientName")->text(), "anna-laptop");
  EXPECT_TRUE(entries[0]->findChild<QLabel*>("lbClientName")->font().bold());
  EXPECT_EQ(entries[0]->findChild<QLabel*>("lbMac")->text(), "Mac: 00-1A-2B-3C-4D-5E");
  EXPECT_EQ(entries[1]->findChild<QLabel*>("lbIp")->text(), "IP: 192.168.137.42");

  SelectPage(0);
  Screenshot("de-running-1-einstellung");
  SelectPage(1);
  Screenshot("de-running-2-clients");
  SelectPage(2);
  Screenshot("de-running-3-verwaltung");
  ExpectNoCutCaptions(*window, "German, running");

  ChooseLanguage("English");
  EXPECT_EQ(language->CurrentLanguage, "English");
  EXPECT_EQ(window->LanguageButton().Caption(), "English");
  EXPECT_EQ(window->Pages()->tabText(0), "Settings");
  EXPECT_EQ(window->Pages()->tabText(2), "Management");
  EXPECT_EQ(Text("btnOK"), "Stop the hotspot");
  EXPECT_EQ(Text("Label6"), "Network key (at least 8 characters)");
  EXPECT_EQ(Text("suiButton3"), "View the URL logs");
  EXPECT_EQ(Widget<QGroupBox>("suiGroupBox1")->title(), "Block file-sharing protocols");
  EXPECT_EQ(Text("Label9").count('\n'), 2);
  EXPECT_EQ(window->TrayMenu()->actions().at(0)->text(), Utf8("Öffnen"));
  EXPECT_EQ(window->TrayMenu()->actions().at(1)->text(), "Schliessen");
  // The client entries' labels are not translated.
  EXPECT_EQ(window->ClientEntryWidgets()[0]->findChild<QLabel*>("lbMac")->text(), "Mac: 00-1A-2B-3C-4D-5E");

  SelectPage(0);
  Screenshot("en-running-1-settings");
  SelectPage(1);
  Screenshot("en-running-2-clients");
  SelectPage(2);
  Screenshot("en-running-3-management");
  ExpectNoCutCaptions(*window, "English, running");

  SelectPage(0);
  QTest::mouseClick(Widget("btnOK"), Qt::LeftButton);
  Settle();
  EXPECT_FALSE(form->FHotspotRunning);
  EXPECT_TRUE(window->ClientEntryWidgets().empty());
  // This machine's hosted adapter goes with the stopped network: automatic mode again.
  EXPECT_TRUE(Widget<QRadioButton>("rbAutomaticConfigVWiFi")->isChecked());
  EXPECT_EQ(Text("btnOK"), "Set up and start the hotspot");
  EXPECT_EQ(Widget<QLineEdit>("edHotspotName")->text(), "Cafe Net");
  Screenshot("en-stopped-1-settings");
  SelectPage(1);
  Screenshot("en-stopped-2-clients");
  SelectPage(2);
  Screenshot("en-stopped-3-management");
  ExpectNoCutCaptions(*window, "English, stopped");

  SelectPage(0);
  QTest::mouseClick(Widget("rbManualConfigVWiFi"), Qt::LeftButton);
  Settle();
  EXPECT_EQ(Text("btnOK"), "Start the hotspot");
  EXPECT_FALSE(Widget("btnOK")->isEnabled());
}

TEST_F(Window, TheLanguageMenuShowsEveryFlagUnderTheButton) {
  ShowWindow();
  SelectPage(2);
  ClickLanguageButton();
  QMenu* menu = window->LanguageMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(menu->isVisible());
  QWidget* button = Widget("btnLanguage");
  EXPECT_EQ(menu->pos(), button->mapToGlobal(QPoint(0, button->height())));
  QStringList names;
  for (QAction* action : menu->actions()) {
    names << action->text();
    const QPixmap flag = action->icon().pixmap(QSize(kFlagWidth, kFlagHeight));
    EXPECT_EQ(flag.size(), QSize(kFlagWidth, kFlagHeight)) << action->text().toStdString();
  }
  names.sort();
  EXPECT_EQ(names, (QStringList{"Deutsch", "English"}));
  Screenshot("de-language-menu", menu);
  menu->hide();
}

TEST_F(Window, ChoosingTheCurrentLanguageChangesNothingAndTheChoiceIsStored) {
  ShowWindow();
  ChooseLanguage("Deutsch");
  std::string choice;
  ASSERT_TRUE(platform::ReadWholeFile(language->ChoiceFile(), choice));
  EXPECT_EQ(choice, "[Language]\r\nCurrentLanguage=Deutsch\r\n");
  ChooseLanguage("English");
  ASSERT_TRUE(platform::ReadWholeFile(language->ChoiceFile(), choice));
  EXPECT_EQ(choice, "[Language]\r\nCurrentLanguage=English\r\n");
  EXPECT_EQ(TLanguageTexts(programFolder.Path() + "\\").CurrentLanguage, "English");
}

TEST_F(Window, TheTrayMenusCloseItemClosesTheWindowAndRunsFormClose) {
  ShowWindow();
  EXPECT_TRUE(form->HotspotServerSocket.Active());
  QAction* close = window->TrayMenu()->actions().at(1);
  close->trigger();
  Settle();
  EXPECT_FALSE(window->isVisible());
  EXPECT_FALSE(form->HotspotServerSocket.Active());
}

}  // namespace
}  // namespace zl::view::test

namespace zl::view::test {
namespace {

// What the window shows as a control's caption.
QString ShownCaption(MainWindow& window, const std::string& name) {
  if (name == "tabSetting") return window.Pages()->tabText(0);
  if (name == "tabClients") return window.Pages()->tabText(1);
  if (name == "tabMangement") return window.Pages()->tabText(2);
  QWidget* widget = window.ControlWidget(name);
  if (auto* group = dynamic_cast<QGroupBox*>(widget)) return group->title();
  if (auto* button = dynamic_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* label = dynamic_cast<QLabel*>(widget)) {
    return label->textFormat() == Qt::RichText ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                                               : label->text();
  }
  return QStringLiteral("<no caption widget>");
}

class Languages : public WindowTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Languages, EveryTranslatedCaptionComesFromTheChosenLanguage) {
  ShowWindow();
  ChooseLanguage(GetParam());
  ASSERT_EQ(language->CurrentLanguage, GetParam());
  for (const panel::TranslatedCaption& caption : panel::TranslatedCaptions()) {
    const QString expected = CaptionText(language->LanguageText("1", caption.key));
    ASSERT_FALSE(expected.isEmpty()) << caption.key;
    EXPECT_EQ(ShownCaption(*window, caption.control), expected) << caption.control;
  }
  EXPECT_EQ(window->LanguageButton().Caption(), GetParam());
  ExpectNoCutCaptions(*window, GetParam());
}

TEST_P(Languages, TheSetUpButtonsCaptionInEachState) {
  ShowWindow();
  ChooseLanguage(GetParam());
  const auto text = [&](const char* key) { return CaptionText(language->LanguageText("1", key)); };
  EXPECT_EQ(Text("btnOK"), text("9"));

  // Every caption the button shows, as the window mirrors it.
  std::vector<QString> shown{Text("btnOK")};
  const panel::ControlChangeObserver mirror = form->OnControlChanged;
  form->OnControlChanged = [&](const panel::Control& control) {
    mirror(control);
    if (&control == &form->btnOK && shown.back() != Text("btnOK")) shown.push_back(Text("btnOK"));
  };
  QTest::mouseClick(Widget("btnOK"), Qt::LeftButton);
  Settle();
  ASSERT_TRUE(form->FHotspotRunning);
  EXPECT_EQ(shown, (std::vector<QString>{text("9"), text("20"), text("22")}));
  ExpectNoCutCaptions(*window, std::string(GetParam()) + ", running");

  QTest::mouseClick(Widget("btnOK"), Qt::LeftButton);
  Settle();
  EXPECT_EQ(Text("btnOK"), text("9"));
  QTest::mouseClick(Widget("rbManualConfigVWiFi"), Qt::LeftButton);
  Settle();
  EXPECT_EQ(Text("btnOK"), text("21"));
  ExpectNoCutCaptions(*window, std::string(GetParam()) + ", manual");
}

INSTANTIATE_TEST_SUITE_P(Shipped, Languages, ::testing::Values("Deutsch", "English"));

}  // namespace
}  // namespace zl::view::test
