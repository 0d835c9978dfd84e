#include "shared/support/poll_event_loop.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zl {
namespace {

using std::chrono::milliseconds;

class VirtualLoopTest : public ::testing::Test {
 protected:
  VirtualClock clock;
  PollEventLoop loop{clock};
  std::vector<std::string> log;
};

TEST_F(VirtualLoopTest, TimersFireInTimeOrderAndKeepTheirPeriod) {
  loop.StartTimer(milliseconds(300), [&] { log.push_back("300@" + std::to_string(clock.Now().count())); });
  loop.StartTimer(milliseconds(200), [&] { log.push_back("200@" + std::to_string(clock.Now().count())); });
  loop.RunFor(milliseconds(650));
  // Timers due at the same moment fire in the order they were started.
  EXPECT_EQ(log, (std::vector<std::string>{"200@200", "300@300", "200@400", "300@600", "200@600"}));
  EXPECT_EQ(clock.Now(), milliseconds(650));
}

TEST_F(VirtualLoopTest, AHandlerMayStopItsOwnTimerAndStartAnother) {
  EventLoop::TimerId first = 0;
  first = loop.StartTimer(milliseconds(100), [&] {
    log.push_back("first");
    loop.StopTimer(first);
    loop.StartTimer(milliseconds(50), [&] { log.push_back("second"); });
  });
  loop.RunFor(milliseconds(220));
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "second"}));
}

TEST_F(VirtualLoopTest, PostedCallsRunInOrderAndProcessPendingIsReentrant) {
  loop.Post([&] {
    log.push_back("a");
    loop.Post([&] { log.push_back("c"); });
    loop.ProcessPending();  // a handler pumping the loop runs what is queued meanwhile
    log.push_back("a-end");
  });
  loop.Post([&] { log.push_back("b"); });
  loop.RunUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "a-end", "b"}));
}

TEST_F(VirtualLoopTest, RunUntilIdleDoesNotMoveTheClock) {
  int fired = 0;
  loop.StartTimer(milliseconds(10), [&] { ++fired; });
  loop.RunUntilIdle();
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(clock.Now(), milliseconds(0));
  clock.Advance(milliseconds(10));
  loop.RunUntilIdle();
  EXPECT_EQ(fired, 1);
}

TEST_F(VirtualLoopTest, PeriodsMissedDuringABlockingHandlerFireOnceNotOncePerPeriod) {
  std::vector<long long> firedAt;
  loop.StartTimer(milliseconds(100), [&] {
    firedAt.push_back(clock.Now().count());
    if (firedAt.size() == 1) clock.Pause(milliseconds(1000));  // a blocking step inside a handler
  });
  loop.RunFor(milliseconds(1250));
  EXPECT_EQ(firedAt, (std::vector<long long>{100, 1100, 1200}));
}

TEST_F(VirtualLoopTest, CurrentIsTheLoopOfTheCreatingThread) {
  EXPECT_EQ(EventLoop::Current(), &loop);
  EventLoop* seen = &loop;
  std::thread([&] { seen = EventLoop::Current(); }).join();
  EXPECT_EQ(seen, nullptr);
}

// Cases that do not depend on timers hold for both kinds of clock.
class AnyClockLoopTest : public ::testing::TestWithParam<bool> {
 protected:
  AnyClockLoopTest() {
    if (GetParam()) {
      clock = std::make_unique<VirtualClock>();
    } else {
      clock = std::make_unique<SystemClock>();
    }
    loop = std::make_unique<PollEventLoop>(*clock);
  }
  std::unique_ptr<Clock> clock;
  std::unique_ptr<PollEventLoop> loop;
};

TEST_P(AnyClockLoopTest, SynchronizeRunsOnTheLoopThreadAndBlocksTheCaller) {
  const auto loopThread = std::this_thread::get_id();
  std::thread::id ranOn;
  bool callerSawResult = false;
  bool workerDone = false;
  std::thread worker([&] {
    int value = 0;
    loop->Synchronize([&] {
      ranOn = std::this_thread::get_id();
      value = 42;
    });
    callerSawResult = value == 42;
    loop->Post([&] { workerDone = true; });
  });
  EXPECT_TRUE(loop->RunUntil([&] { return workerDone; }));
  worker.join();
  EXPECT_EQ(ranOn, loopThread);
  EXPECT_TRUE(callerSawResult);
}

TEST_P(AnyClockLoopTest, SynchronizeRethrowsTheCallsExceptionToTheCaller) {
  std::string caught;
  bool workerDone = false;
  std::thread worker([&] {
    try {
      loop->Synchronize([] { throw std::runtime_error("disk full"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    loop->Post([&] { workerDone = true; });
  });
  EXPECT_TRUE(loop->RunUntil([&] { return workerDone; }));
  worker.join();
  EXPECT_EQ(caught, "disk full");
}

TEST_P(AnyClockLoopTest, SynchronizeOnTheLoopThreadRunsAtOnce) {
  bool ran = false;
  loop->Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST_P(AnyClockLoopTest, SocketWatchReportsReadabilityUntilRemoved) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  int reads = 0;
  std::string received;
  EventLoop::WatchId watch = 0;
  watch = loop->WatchSocket(fds[0], true, false, [&](unsigned readiness) {
    ASSERT_TRUE(readiness & platform::kReadable);
    char buffer[16];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    received.append(buffer, static_cast<std::size_t>(n));
    if (++reads == 2) loop->RemoveWatch(watch);
  });
  ASSERT_EQ(write(fds[1], "ab", 2), 2);
  EXPECT_TRUE(loop->RunUntil([&] { return reads == 1; }));
  ASSERT_EQ(write(fds[1], "cd", 2), 2);
  EXPECT_TRUE(loop->RunUntil([&] { return reads == 2; }));
  ASSERT_EQ(write(fds[1], "ef", 2), 2);
  loop->RunUntil([] { return false; }, milliseconds(20));
  EXPECT_EQ(received, "abcd");
  close(fds[0]);
  close(fds[1]);
}

TEST_P(AnyClockLoopTest, QuitFromAnotherThreadEndsRun) {
  std::thread quitter([&] { loop->Post([&] { loop->Quit(); }); });
  loop->Run();
  quitter.join();
  SUCCEED();
}

INSTANTIATE_TEST_SUITE_P(Clocks, AnyClockLoopTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Virtual" : "System"; });

}  // namespace
}  // namespace zl
