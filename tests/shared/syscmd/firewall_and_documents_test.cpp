#include <gtest/gtest.h>

#include <fstream>

#include "shared/syscmd/firewall_commands.h"
#include "shared/syscmd/open_document.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/files.h"
#include "zl/platform/machine_state.h"

namespace zl::syscmd {
namespace {

namespace machine = platform::machine;

TEST(FirewallCommandsTest, AuthorisesTheControlPanelsFixedFileName) {
  test::EmulatedMachine machine;
  AuthorizeProgramInFirewall();
  AuthorizeProgramInFirewall();  // the same image is not added twice
  const auto apps = machine::ListFirewallApplications();
  ASSERT_EQ(apps.size(), 1u);
  EXPECT_EQ(apps[0].name, "Zephlink");
  EXPECT_EQ(apps[0].processImageFileName, platform::ProgramFolder() + "Zephlink.exe");
  EXPECT_EQ(apps[0].scope, 0);
  EXPECT_EQ(apps[0].ipVersion, 2);
  EXPECT_TRUE(apps[0].enabled);
}

TEST(FirewallCommandsTest, EveryFailureIsSwallowed) {
  const struct {
    const char* fault;
  } rows[] = {{"FirewallUnavailable"}, {"RegistryReadOnly"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fault);
    test::EmulatedMachine machine;
    ASSERT_TRUE(machine::SetFault(row.fault, 1));
    EXPECT_NO_THROW(AuthorizeApplication("Zephlink", "C:\\Zephlink\\Zephlink.exe"));
    EXPECT_TRUE(machine::ListFirewallApplications().empty());
  }
}

// The programs name files with "\\" between folders.
std::string ProgramPath(std::string native) {
  for (char& c : native) c = c == '/' ? '\\' : c;
  return native;
}

TEST(OpenDocumentTest, OpensAnExistingFileOnly) {
  test::EmulatedMachine machine;
  const std::string file = machine.Directory() + "/2026-01-05.txt";
  OpenDocument(ProgramPath(file));
  EXPECT_EQ(machine.ReadFile("Shell.log"), "");  // missing: nothing started
  std::ofstream(file) << "line\r\n";
  OpenDocument(ProgramPath(file));
  EXPECT_EQ(machine.ReadFile("Shell.log"), "open\t" + ProgramPath(file) + "\n");
}

}  // namespace
}  // namespace zl::syscmd
