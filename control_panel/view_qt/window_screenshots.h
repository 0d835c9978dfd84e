// Pictures of the window for tests and demonstrations.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace zl::view {

// The window as it stands, saved as a PNG file; false when it cannot be written.
bool SaveScreenshot(QWidget& window, const QString& path);

// With ZEPHLINK_SCREENSHOTS naming a folder, the window is saved there every
// ZEPHLINK_SCREENSHOT_INTERVAL_MS milliseconds of real time (default 2000),
// as "zephlink-0001.png", "zephlink-0002.png", ... and "zephlink-latest.png".
// Offscreen, where nobody sees the pages change, every page is saved too, as
// "zephlink-page1.png" to "zephlink-page3.png", and the page shown before is
// shown again. Does nothing without the variable.
class PeriodicScreenshots : public QObject {
 public:
  explicit PeriodicScreenshots(QWidget& window);

 private:
  void Save();

  QWidget& window_;
  QString folder_;
  QTimer timer_;
  int count_ = 0;
  bool everyPage_ = false;
};

}  // namespace zl::view
