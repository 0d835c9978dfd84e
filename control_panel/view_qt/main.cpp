// Zephlink, the control panel, on Linux: the window model on Qt's event loop
// with its Qt window. The program's start checks come first (one instance,
// administrator rights), before any window exists.
#include <QApplication>
#include <QMessageBox>
#include <QThreadPool>

#include "control_panel/language/language_texts.h"
#include "control_panel/main_form.h"
#include "control_panel/program_start.h"
#include "control_panel/view_qt/clients_report.h"
#include "control_panel/view_qt/main_window.h"
#include "control_panel/view_qt/pictures.h"
#include "control_panel/view_qt/qt_event_loop.h"
#include "control_panel/view_qt/text_conversion.h"
#include "control_panel/view_qt/window_screenshots.h"
#include "zl/platform/message_box.h"
#include "zl/platform/named_mutex.h"
#include "zl/platform/stop_request.h"

namespace {

bool HasScreen() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zl;
  // Before anything else, so that a stop asked for while starting is not lost.
  const platform::SocketHandle stopRequests = platform::WatchStopRequests();

  QApplication application(argc, argv);
  application.setWindowIcon(view::ProgramIcon());
  // On a screen the two rights warnings are real boxes; without one the
  // machine records them.
  if (HasScreen()) {
    platform::SetMessageBoxObserver([](const std::string& text, const std::string& caption, std::uint32_t) {
      QMessageBox::warning(nullptr, FromCp1252(caption), FromCp1252(text));
    });
  }

  platform::NamedMutex mutex;
  if (panel::CheckProgramStart(mutex) != panel::StartOutcome::Run) return 0;

  SystemClock clock;
  QtEventLoop loop(clock);
  TLanguageTexts language;
  panel::TfrmMain form(loop);
  form.SetLanguageSource({[&language](const std::string& section, const std::string& key) {
                            return language.LanguageText(section, key);
                          },
                          [&language] { return language.CurrentLanguage; }});
  view::MainWindow window(form, language);
  form.FormCreate();

  // A stop from outside closes the window as its close button does.
  EventLoop::WatchId stopWatch = 0;
  if (stopRequests != platform::kInvalidSocket) {
    stopWatch = loop.WatchSocket(stopRequests, true, false, [&](unsigned) {
      loop.RemoveWatch(stopWatch);
      window.close();
    });
  }
  view::PeriodicScreenshots screenshots(window);
  view::ClientsReport clientsReport(form);

  window.ShowFirstTime();
  loop.Run();
  // Qt's painting hands work to its own thread pool: let it end first.
  QThreadPool::globalInstance()->waitForDone();
  return 0;
}
