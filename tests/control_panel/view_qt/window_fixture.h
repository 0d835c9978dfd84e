// The real control panel window over a fresh emulated machine, headless: the
// window model on the Qt loop with a virtual clock, the shipped languages in
// a program folder of the test's own (choosing a language writes there),
// FormCreate and the first show as the program runs them.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QString>

#include <memory>
#include <ostream>
#include <string>

#include "control_panel/language/language_texts.h"
#include "control_panel/main_form.h"
#include "control_panel/view_qt/main_window.h"
#include "control_panel/view_qt/qt_event_loop.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/temp_folder.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace zl::view::test {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  void ShowWindow();
  // Lets the window's pending events run (paints, deferred deletes).
  void Settle();

  template <typename T = QWidget>
  T* Widget(const std::string& name) const {
    T* widget = dynamic_cast<T*>(window->ControlWidget(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QString Text(const std::string& name) const;

  // A hotspot client that answers address resolution, with a host name.
  void AddClient(const std::string& mac, const std::string& address, const std::string& hostName);

  void ClickLanguageButton();
  // Picks a language from the language menu as the user does.
  void ChooseLanguage(const QString& name);
  void SelectPage(int index);
  // Saves the window as build/<preset>/screenshots/<name>.png, with the
  // pop-up over it when one is given.
  void Screenshot(const std::string& name, QWidget* popup = nullptr);

  zl::test::EmulatedMachine machine;
  zl::test::TempFolder programFolder;
  VirtualClock clock;
  std::unique_ptr<QtEventLoop> loop;
  std::unique_ptr<TLanguageTexts> language;
  std::unique_ptr<panel::TfrmMain> form;
  std::unique_ptr<MainWindow> window;
};

}  // namespace zl::view::test
