// The Qt loop adapter: the model's timers on the loop's clock, socket watches,
// calls from other threads, and ProcessPending from inside a handler.
#include "control_panel/view_qt/qt_event_loop.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zl {
namespace {

using std::chrono::milliseconds;

class QtLoop : public ::testing::Test {
 protected:
  QtLoop() {
    int fds[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
    ours_ = fds[0];
    peer_ = fds[1];
  }
  ~QtLoop() override {
    close(ours_);
    close(peer_);
  }

  VirtualClock clock_;
  QtEventLoop loop_{clock_};
  std::vector<std::string> log_;
  int ours_ = -1;
  int peer_ = -1;
};

TEST_F(QtLoop, TimersFollowTheVirtualClockInTimeOrder) {
  loop_.StartTimer(milliseconds(300), [&] { log_.push_back("300@" + std::to_string(clock_.Now().count())); });
  loop_.StartTimer(milliseconds(200), [&] { log_.push_back("200@" + std::to_string(clock_.Now().count())); });
  loop_.RunFor(milliseconds(650));
  EXPECT_EQ(log_, (std::vector<std::string>{"200@200", "300@300", "200@400", "300@600", "200@600"}));
  EXPECT_EQ(clock_.Now(), milliseconds(650));
}

TEST_F(QtLoop, ATimerDueAfterTheClockMovedFiresFromQtsOwnLoop) {
  int fired = 0;
  loop_.StartTimer(milliseconds(5000), [&] { ++fired; });
  loop_.RunUntilIdle();
  EXPECT_EQ(fired, 0);
  clock_.Advance(milliseconds(5000));
  loop_.Post([] {});  // the loop learns of the moved clock on its next pass
  EXPECT_TRUE(loop_.RunUntil([&] { return fired == 1; }));
}

TEST_F(QtLoop, AHandlerMayStopItsOwnTimerAndStartAnother) {
  EventLoop::TimerId first = 0;
  first = loop_.StartTimer(milliseconds(100), [&] {
    log_.push_back("first");
    loop_.StopTimer(first);
    loop_.StartTimer(milliseconds(50), [&] { log_.push_back("second"); });
  });
  loop_.RunFor(milliseconds(260));
  EXPECT_EQ(log_, (std::vector<std::string>{"first", "second", "second", "second"}));
}

TEST_F(QtLoop, SocketWatchesReportReadinessUntilChangedOrRemoved) {
  int reads = 0;
  int writes = 0;
  EventLoop::WatchId id = loop_.WatchSocket(ours_, true, false, [&](unsigned readiness) {
    if (readiness & platform::kReadable) {
      char buffer[16];
      EXPECT_GT(read(ours_, buffer, sizeof buffer), 0);
      ++reads;
    }
    if (readiness & platform::kWritable) {
      ++writes;
      loop_.ChangeWatch(id, true, false);
    }
  });
  ASSERT_EQ(write(peer_, "x", 1), 1);
  ASSERT_TRUE(loop_.RunUntil([&] { return reads == 1; }));
  loop_.ChangeWatch(id, true, true);
  ASSERT_TRUE(loop_.RunUntil([&] { return writes == 1; }));
  loop_.RemoveWatch(id);
  ASSERT_EQ(write(peer_, "y", 1), 1);
  loop_.RunUntilIdle();
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(writes, 1);
}

TEST_F(QtLoop, AHandlerMayRemoveItsOwnWatch) {
  int calls = 0;
  EventLoop::WatchId id = 0;
  id = loop_.WatchSocket(ours_, true, false, [&](unsigned) {
    ++calls;
    loop_.RemoveWatch(id);
  });
  ASSERT_EQ(write(peer_, "x", 1), 1);
  ASSERT_TRUE(loop_.RunUntil([&] { return calls == 1; }));
  loop_.RunUntilIdle();
  EXPECT_EQ(calls, 1);
}

TEST_F(QtLoop, ACallFromAnotherThreadRunsOnTheLoopAndItsErrorReturnsToTheCaller) {
  std::atomic<bool> posted{false};
  std::atomic<bool> ranOnLoop{false};
  std::string error;
  std::atomic<bool> done{false};
  std::thread other([&] {
    loop_.Post([&] { posted = loop_.IsLoopThread(); });
    loop_.Synchronize([&] { ranOnLoop = loop_.IsLoopThread(); });
    try {
      loop_.Synchronize([] { throw std::runtime_error("disk full"); });
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
    done = true;
  });
  EXPECT_TRUE(loop_.RunUntil([&] { return done.load(); }));
  other.join();
  EXPECT_TRUE(posted);
  EXPECT_TRUE(ranOnLoop);
  EXPECT_EQ(error, "disk full");
}

TEST_F(QtLoop, ProcessPendingInsideAHandlerRunsCallsSocketsAndQtEvents) {
  bool qtEvent = false;
  bool posted = false;
  bool readable = false;
  loop_.WatchSocket(ours_, true, false, [&](unsigned) {
    char c;
    EXPECT_EQ(read(ours_, &c, 1), 1);
    readable = true;
  });
  loop_.StartTimer(milliseconds(100), [&] {
    if (!log_.empty()) return;
    log_.push_back("tick");
    // As a command being awaited does: keep everything else going meanwhile.
    QTimer::singleShot(0, [&] { qtEvent = true; });
    loop_.Post([&] { posted = true; });
    ASSERT_EQ(write(peer_, "x", 1), 1);
    for (int i = 0; i < 1000 && !(qtEvent && posted && readable); ++i) {
      loop_.ProcessPending();
      if (!readable) std::this_thread::yield();
    }
    log_.push_back(qtEvent && posted && readable ? "all handled inside" : "missed");
  });
  loop_.RunFor(milliseconds(100));
  EXPECT_EQ(log_, (std::vector<std::string>{"tick", "all handled inside"}));
}

TEST_F(QtLoop, AnEscapingExceptionGoesToTheHandlerAndTheLoopGoesOn) {
  std::vector<std::string> caught;
  loop_.SetExceptionHandler([&](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      caught.push_back(e.what());
    }
  });
  loop_.StartTimer(milliseconds(10), [] { throw std::runtime_error("timer"); });
  loop_.Post([] { throw std::runtime_error("posted"); });
  loop_.RunFor(milliseconds(25));
  EXPECT_EQ(caught, (std::vector<std::string>{"posted", "timer", "timer"}));
}

TEST_F(QtLoop, QuitEndsRunEvenWhenAskedBeforeItStarted) {
  bool ran = false;
  loop_.Post([&] { ran = true; });
  loop_.Quit();
  loop_.Run();
  EXPECT_TRUE(ran);
}

// The machine's clock may run faster than real time; Qt's own timers wait in
// real time, so a minute of the programs' time is 60 ms at the highest rate.
TEST(QtLoopAtAFasterClock, TimersFireAfterTheirClockTimeInAFractionOfItInRealTime) {
  SystemClock fast(1000);
  QtEventLoop loop(fast);
  int reports = 0;
  milliseconds firedAt{0};
  const milliseconds start = fast.Now();
  loop.StartTimer(milliseconds(20000), [&] {
    if (++reports == 1) firedAt = fast.Now() - start;
  });
  const auto wallStart = std::chrono::steady_clock::now();
  EXPECT_TRUE(loop.RunUntil([&] { return reports >= 2; }, milliseconds(10000)));
  EXPECT_GE(firedAt, milliseconds(20000)) << "never before its clock time";
  EXPECT_LT(std::chrono::steady_clock::now() - wallStart, std::chrono::seconds(10));
  loop.RunFor(milliseconds(30000));
  EXPECT_GE(fast.Now() - start, milliseconds(70000));
}

TEST_F(QtLoop, TheLoopIsTheThreadsCurrentOne) { EXPECT_EQ(EventLoop::Current(), &loop_); }

}  // namespace
}  // namespace zl
