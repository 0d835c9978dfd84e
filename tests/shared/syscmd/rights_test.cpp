#include "shared/syscmd/rights.h"

#include <gtest/gtest.h>
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

TEST(RightsTest, NoMachineMeansNoRights) {
  test::EmulatedMachine machine;
  unsetenv("ZEPHLINK_MACHINE");
  EXPECT_FALSE(CanWriteMachineSettings());
  setenv("ZEPHLINK_MACHINE", machine.Directory().c_str(), 1);
}

}  // namespace
}  // namespace zl::syscmd
