#include "tests/control_panel/view_qt/window_fixture.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QTabWidget>
#include <QTest>

#include <filesystem>

#include "control_panel/view_qt/text_conversion.h"
#include "control_panel/view_qt/window_screenshots.h"
#include "zl/platform/machine_state.h"

namespace zl::view::test {

namespace machine = platform::machine;

WindowTest::WindowTest() {
  SetProcessClock(&clock);
  // The shipped files, as they lie beside the program.
  std::string native = programFolder.Path();
  for (char& c : native) c = c == '\\' ? '/' : c;
  std::filesystem::copy(ZL_SHIPPED_LANGUAGES, native + "/Languages", std::filesystem::copy_options::recursive);

  loop = std::make_unique<QtEventLoop>(clock);
  language = std::make_unique<TLanguageTexts>(programFolder.Path() + "\\");
  form = std::make_unique<panel::TfrmMain>(*loop, programFolder.Path() + "\\");
  form->SetLanguageSource({[this](const std::string& section, const std::string& key) {
                             return language->LanguageText(section, key);
                           },
                           [this] { return language->CurrentLanguage; }});
  window = std::make_unique<MainWindow>(*form, *language);
}

WindowTest::~WindowTest() {
  if (window) window->close();
  window.reset();
  form.reset();
  Settle();
  loop.reset();
  SetProcessClock(nullptr);
}

void WindowTest::ShowWindow() {
  form->FormCreate();
  window->ShowFirstTime();
  Settle();
}

void WindowTest::Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

QString WindowTest::Text(const std::string& name) const {
  QWidget* widget = window->ControlWidget(name);
  if (auto* label = dynamic_cast<QLabel*>(widget)) return label->text();
  if (auto* button = dynamic_cast<QAbstractButton*>(widget)) return button->text();
  ADD_FAILURE() << name << " shows no text";
  return {};
}

void WindowTest::AddClient(const std::string& mac, const std::string& address, const std::string& hostName) {
  machine::ClientRecord client;
  ASSERT_TRUE(machine::ParseMac(mac, client.mac));
  client.address = address;
  client.hostName = hostName;
  ASSERT_TRUE(machine::SetClient(client));
  ASSERT_TRUE(machine::SetHostName(address, hostName));
}

void WindowTest::SelectPage(int index) {
  window->Pages()->setCurrentIndex(index);
  Settle();
}

void WindowTest::ClickLanguageButton() {
  QWidget* button = Widget("btnLanguage");
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
  Settle();
}

void WindowTest::ChooseLanguage(const QString& name) {
  ClickLanguageButton();
  QMenu* menu = window->LanguageMenu();
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(menu->isVisible());
  for (QAction* action : menu->actions()) {
    if (action->text() == name) {
      menu->hide();
      action->trigger();
      Settle();
      return;
    }
  }
  ADD_FAILURE() << "no menu item " << name.toStdString();
}

void WindowTest::Screenshot(const std::string& name, QWidget* popup) {
  Settle();
  QDir().mkpath(QStringLiteral(ZL_SCREENSHOT_FOLDER));
  const QString path = QStringLiteral(ZL_SCREENSHOT_FOLDER "/%1.png").arg(QString::fromStdString(name));
  if (!popup) {
    EXPECT_TRUE(SaveScreenshot(*window, path)) << path.toStdString();
    return;
  }
  // A pop-up is a window of its own: painted over the window where it stands.
  QPixmap picture = window->grab();
  {
    QPainter painter(&picture);
    painter.drawPixmap(window->mapFromGlobal(popup->pos()), popup->grab());
  }
  EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
}

}  // namespace zl::view::test
