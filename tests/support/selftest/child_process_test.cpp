// The child-process fixture the end-to-end tests stand on: output, input,
// exit codes, and nothing of the child's group left behind.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace zl::test {
namespace {

using std::chrono::milliseconds;

bool Alive(pid_t pid) { return kill(pid, 0) == 0; }

TEST(ChildProcessTest, ReadsOutputTakesInputAndReportsTheExitCode) {
  ChildProcess child({"/bin/sh", "-c", "echo started; read line; echo \"got $line\" >&2; exit 7"});
  ASSERT_TRUE(child.Started());
  EXPECT_TRUE(child.WaitForOutput("started"));
  EXPECT_TRUE(child.Running());
  EXPECT_TRUE(child.WriteLine("hello"));
  EXPECT_EQ(child.WaitForExit(), 7);
  EXPECT_EQ(child.Output(), "started\ngot hello\n");
  EXPECT_FALSE(child.WaitForOutput("never printed", milliseconds(10000))) << "an ended child is not waited for";
  EXPECT_FALSE(child.WriteLine("too late"));
}

TEST(ChildProcessTest, EnvironmentIsAddedAndASignalEndsTheChild) {
  ChildProcess child({"/bin/sh", "-c", "echo \"machine=$ZEPHLINK_MACHINE\"; exec sleep 60"}, {"ZEPHLINK_MACHINE=/m1"});
  EXPECT_TRUE(child.WaitForOutput("machine=/m1\n"));
  EXPECT_FALSE(child.WaitForExit(milliseconds(20)));
  child.Signal(SIGTERM);
  EXPECT_EQ(child.WaitForExit(), 128 + SIGTERM);
}

TEST(ChildProcessTest, TheWholeGroupEndsWithTheFixture) {
  pid_t grandchild = 0;
  {
    ChildProcess child({"/bin/sh", "-c", "sleep 60 & echo \"pid $!\"; wait"});
    ASSERT_TRUE(child.WaitForOutput("\n"));
    grandchild = pid_t(std::stol(child.Output().substr(4)));
    ASSERT_TRUE(Alive(grandchild));
  }
  // Reaped by init once killed; give it a moment, boundedly.
  EXPECT_TRUE(WaitUntil([&] { return !Alive(grandchild); }, milliseconds(5000)));
}

TEST(ChildProcessTest, AProgramThatCannotStartSaysSo) {
  ChildProcess child({"/nonexistent/program"});
  EXPECT_EQ(child.WaitForExit(), 127);
  EXPECT_NE(child.Output().find("cannot start /nonexistent/program"), std::string::npos);
}

TEST(WaitUntilTest, GivesUpAtTheLimit) {
  int calls = 0;
  EXPECT_FALSE(WaitUntil([&] { return ++calls < 0; }, milliseconds(30)));
  EXPECT_GT(calls, 1);
  EXPECT_TRUE(WaitUntil([] { return true; }, milliseconds(0)));
}

}  // namespace
}  // namespace zl::test
