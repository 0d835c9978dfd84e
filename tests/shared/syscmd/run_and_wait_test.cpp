#include "shared/syscmd/run_and_wait.h"

#include <gtest/gtest.h>

#include "shared/support/clock.h"
#include "shared/support/poll_event_loop.h"
#include "tests/support/emulated_machine.h"

namespace zl::syscmd {
namespace {

TEST(RunAndWaitTest, ReturnsTheProgramsExitCode) {
  test::EmulatedMachine machine;
  EXPECT_EQ(RunAndWait("open", "cmd.exe", "/c \"exit 1\"", true, 0), 1);
  EXPECT_EQ(RunAndWait("open", "cmd.exe", "/c \"exit 0\"", true, 0), 0);
  EXPECT_EQ(RunAndWait("", "CMD.EXE", "/c \"netsh wlan start hostednetwork\"", true, 0), 1);  // refused: disallowed
}

TEST(RunAndWaitTest, NotWaitingReturnsZeroAtOnce) {
  test::EmulatedMachine machine;
  EXPECT_EQ(RunAndWait("open", "cmd.exe", "/c \"exit 5\"", false, 0), 0);
}

TEST(RunAndWaitTest, ShellFailureIsMinusOne) {
  test::EmulatedMachine machine;
  EXPECT_EQ(RunAndWait("open", "no-such-program.exe", "", true, 0), -1);
  EXPECT_EQ(RunAndWait("open", "no-such-program.exe", "", false, 0), -1);
  EXPECT_EQ(RunAndWait("print", "cmd.exe", "", true, 0), -1);
}

TEST(RunAndWaitTest, PendingEventsAreHandledWhileItWaits) {
  test::EmulatedMachine machine;
  VirtualClock clock;
  PollEventLoop loop(clock);
  int pumps = 0;
  std::function<void()> count = [&] {
    ++pumps;
    loop.Post(count);
  };
  loop.Post(count);
  // A program that runs about 350 ms: the wait pumps after each 100 ms slice.
  EXPECT_EQ(RunAndWait("open", "/bin/sleep", "0.35", true, 0), 0);
  EXPECT_GE(pumps, 2);
}

}  // namespace
}  // namespace zl::syscmd
