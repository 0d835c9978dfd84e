#include "shared/syscmd/rights.h"

#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "shared/syscmd/registry_commands.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"

namespace zl::syscmd {
namespace {

namespace machine = platform::machine;

constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kProbe = "{264DE6BC-D37A-4A5D-BAC1-A7513B60D0FF}";

TEST(RightsTest, RootIsAdministratorUnlessTheMachineSaysOtherwise) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  test::EmulatedMachine machine;
  EXPECT_TRUE(IsUserAdministrator());
  ASSERT_TRUE(machine::SetFault("NotAdministrator", 1));
  EXPECT_FALSE(IsUserAdministrator());
}

TEST(RightsTest, ProbeWriteSucceedsAndLeavesNothingBehind) {
  test::EmulatedMachine machine;
  EXPECT_TRUE(CanWriteMachineSettings());
  EXPECT_FALSE(RegValueExists(kRun, kProbe));
}

TEST(RightsTest, NonElevatedProcessCannotWriteMachineSettings) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(machine::SetFault("RegistryReadOnly", 1));
  EXPECT_FALSE(CanWriteMachineSettings());
  EXPECT_FALSE(RegValueExists(kRun, kProbe));
  // An administrator whose process is not elevated: the group is there, the write is not.
  if (geteuid() == 0) {
    EXPECT_TRUE(IsUserAdministrator());
  }
}

// A real unprivileged user (not root, in none of the administering groups)
// may read the machine's store but not write it.
TEST(RightsTest, UnprivilegedUserIsNoAdministratorAndCannotWrite) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  test::EmulatedMachine machine;
  WriteRegString(kRun, "Existing", "value");
  ASSERT_EQ(chmod(machine.Directory().c_str(), 0755), 0);
  ASSERT_EQ(chmod((machine.Directory() + "/hive").c_str(), 0644), 0);
  const pid_t child = fork();
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(10);
    int failures = 0;
    failures += IsUserAdministrator() ? 1 : 0;
    failures += CanWriteMachineSettings() ? 2 : 0;
    failures += ReadRegString(kRun, "Existing") == "value" ? 0 : 4;
    try {
      WriteRegString(kRun, "Other", "x");
      failures += 8;
    } catch (const std::exception&) {
    }
    _exit(failures);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(RegValueExists(kRun, "Other"));
  EXPECT_FALSE(RegValueExists(kRun, kProbe));
}

TEST(RightsTest, NoMachineMeansNoRights) {
  test::EmulatedMachine machine;
  unsetenv("ZEPHLINK_MACHINE");
  EXPECT_FALSE(CanWriteMachineSettings());
  setenv("ZEPHLINK_MACHINE", machine.Directory().c_str(), 1);
}

}  // namespace
}  // namespace zl::syscmd
