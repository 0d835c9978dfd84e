#include "control_panel/view_qt/window_screenshots.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QTabWidget>

namespace zl::view {

bool SaveScreenshot(QWidget& window, const QString& path) {
  const QPixmap picture = window.grab();
  return !picture.isNull() && picture.save(path, "PNG");
}

PeriodicScreenshots::PeriodicScreenshots(QWidget& window) : window_(window) {
  folder_ = qEnvironmentVariable("ZEPHLINK_SCREENSHOTS");
  if (folder_.isEmpty()) return;
  QDir().mkpath(folder_);
  everyPage_ = QGuiApplication::platformName() == QLatin1String("offscreen");
  bool valid = false;
  const int interval = qEnvironmentVariableIntValue("ZEPHLINK_SCREENSHOT_INTERVAL_MS", &valid);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { Save(); });
  timer_.start(valid && interval > 0 ? interval : 2000);
}

void PeriodicScreenshots::Save() {
  if (!window_.isVisible()) return;
  const QDir folder(folder_);
  ++count_;
  SaveScreenshot(window_, folder.filePath(QStringLiteral("zephlink-%1.png").arg(count_, 4, 10, QChar('0'))));
  SaveScreenshot(window_, folder.filePath(QStringLiteral("zephlink-latest.png")));
  QTabWidget* pages = everyPage_ ? window_.findChild<QTabWidget*>() : nullptr;
  if (!pages) return;
  const int shown = pages->currentIndex();
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    SaveScreenshot(window_, folder.filePath(QStringLiteral("zephlink-page%1.png").arg(page + 1)));
  }
  pages->setCurrentIndex(shown);
}

}  // namespace zl::view
