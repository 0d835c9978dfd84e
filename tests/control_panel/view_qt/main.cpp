// The suite runs headless: Qt's offscreen platform, one application object
// for all tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QThreadPool>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  const int result = RUN_ALL_TESTS();
  // Qt's painting hands work to its own thread pool; let it end before the
  // application does, or a pool thread may still hold what it allocated.
  QThreadPool::globalInstance()->waitForDone();
  return result;
}
