#include "zl/platform/named_mutex.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/emulated_machine.h"

namespace zl::platform {
namespace {

constexpr const char* kName = "{7CBBAADE-B39F-4BAF-BF14-A1CB6FFD6B38}";

TEST(NamedMutexTest, OneHolderAtATime) {
  test::EmulatedMachine machine;
  NamedMutex first, second;
  EXPECT_EQ(first.Create(kName), NamedMutex::Result::Created);
  EXPECT_EQ(second.Create(kName), NamedMutex::Result::AlreadyExists);
  NamedMutex other;
  EXPECT_EQ(other.Create("another name"), NamedMutex::Result::Created);
  first.Close();
  EXPECT_EQ(second.Create(kName), NamedMutex::Result::Created);
}

TEST(NamedMutexTest, ReleasedWhenTheHoldingProcessDies) {
  test::EmulatedMachine machine;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    NamedMutex mutex;
    const char result = mutex.Create(kName) == NamedMutex::Result::Created ? 'y' : 'n';
    [[maybe_unused]] auto written = write(ready[1], &result, 1);
    pause();
    _exit(0);
  }
  char result = 0;
  ASSERT_EQ(read(ready[0], &result, 1), 1);
  EXPECT_EQ(result, 'y');
  NamedMutex mutex;
  EXPECT_EQ(mutex.Create(kName), NamedMutex::Result::AlreadyExists);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(mutex.Create(kName), NamedMutex::Result::Created);
  close(ready[0]);
  close(ready[1]);
}

TEST(NamedMutexTest, FailsWithoutAMachine) {
  test::EmulatedMachine machine;
  unsetenv("ZEPHLINK_MACHINE");
  NamedMutex mutex;
  EXPECT_EQ(mutex.Create(kName), NamedMutex::Result::Failed);
  setenv("ZEPHLINK_MACHINE", machine.Directory().c_str(), 1);
}

}  // namespace
}  // namespace zl::platform
