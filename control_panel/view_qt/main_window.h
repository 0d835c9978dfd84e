// The control panel's window on Qt: one widget per control of the window
// model, placed in the model's page order. The view mirrors every property
// the model announces and forwards the user's actions to the model's entry
// points; it decides nothing itself. Besides the model's controls it shows
// the header band and the language button (skinned controls), the client
// entries, the language menu with its flags, and the notification-area icon
// where the desktop has one.
#pragma once

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>
#include <map>
#include <string>

#include "control_panel/controls/bg_button.h"
#include "control_panel/controls/panel.h"
#include "control_panel/language/language_texts.h"
#include "control_panel/main_form.h"

namespace zl::view {

class MainWindow : public QWidget {
 public:
  // Wires itself to the model's hooks; the model's FormCreate comes after.
  MainWindow(panel::TfrmMain& form, TLanguageTexts& language);
  ~MainWindow() override;

  // Centres the window on its screen, shows it and runs the model's show
  // sequence.
  void ShowFirstTime();

  // The widget of a model control, by the control's name; null when none.
  QWidget* ControlWidget(const std::string& name) const;
  QTabWidget* Pages() const { return pages_; }
  QMenu* LanguageMenu() const { return languageMenu_; }
  QMenu* TrayMenu() const { return trayMenu_; }
  bool HasTrayIcon() const { return tray_ != nullptr; }
  TrkBgButton& LanguageButton() { return languageButton_; }
  // The client entries now shown, top to bottom.
  std::vector<QWidget*> ClientEntryWidgets() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildHeader();
  void BuildSettingPage(QWidget* page);
  void BuildClientsPage(QWidget* page);
  void BuildManagementPage(QWidget* page);
  void BuildTray();
  void WireModel();

  // Registers the widget of a control: its name, and how it mirrors the
  // control. Mirrors it once at once.
  void Bind(panel::Control& control, QWidget* widget, std::function<void()> mirror);
  void Mirror(const panel::Control& control);
  // Enabled and visible, for controls that stand on a page.
  static void MirrorCommon(const panel::Control& control, QWidget* widget);

  void RebuildClientEntries();
  void FillLanguageMenu();
  void ShowLanguageMenu();
  void ApplyLanguageFlag();
  void Restore();

  panel::TfrmMain& form_;
  TLanguageTexts& language_;
  std::map<const panel::Control*, std::function<void()>> mirrors_;
  std::map<std::string, QWidget*> widgets_;
  bool mirroringPage_ = false;
  bool closed_ = false;

  TrkPanel header_;
  TrkBgButton languageButton_;
  QWidget* languageButtonWidget_ = nullptr;
  TImageList images_;
  TPopupMenu languageItems_;
  QMenu* languageMenu_ = nullptr;

  QTabWidget* pages_ = nullptr;
  QWidget* clientsList_ = nullptr;
  QVBoxLayout* clientsLayout_ = nullptr;
  std::vector<QWidget*> clientEntries_;

  QMenu* trayMenu_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace zl::view
