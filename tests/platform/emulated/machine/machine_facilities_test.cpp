#include <gtest/gtest.h>

#include "tests/support/emulated_machine.h"
#include "zl/platform/errors.h"
#include "zl/platform/ip_helper.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/message_box.h"
#include "zl/platform/process.h"

namespace zl::platform {
namespace {

std::string ProgramPathOf(std::string native) {
  for (char& c : native) c = c == '/' ? '\\' : c;
  return native;
}

TEST(AdapterListTest, ReportsTheMachinesAdaptersOrItsFailure) {
  test::EmulatedMachine machine;
  std::vector<AdapterInfo> adapters;
  ASSERT_EQ(GetAdaptersInfo(adapters), kErrorSuccess);
  ASSERT_EQ(adapters.size(), 2u);
  EXPECT_EQ(adapters[0].adapterName, "{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}");
  EXPECT_EQ(adapters[0].type, 6u);
  EXPECT_EQ(adapters[1].type, 71u);
  EXPECT_EQ(adapters[1].ipAddresses, std::vector<std::string>{"192.168.2.105"});

  machine::AdapterRecord bare;
  bare.connectionName = "Bare";
  bare.mac = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(machine::AddAdapter(bare));
  ASSERT_EQ(GetAdaptersInfo(adapters), kErrorSuccess);
  EXPECT_EQ(adapters.back().ipAddresses, std::vector<std::string>{"0.0.0.0"});

  ASSERT_TRUE(machine::SetFault("AdapterListError", kErrorNotSupported));
  EXPECT_EQ(GetAdaptersInfo(adapters), kErrorNotSupported);
  EXPECT_TRUE(adapters.empty());
}

TEST(AdapterListTest, EmptyMachineHasNoData) {
  test::EmulatedMachine machine(false);
  std::vector<AdapterInfo> adapters;
  EXPECT_EQ(GetAdaptersInfo(adapters), kErrorNoData);
}

TEST(ArpTest, ReportsTheBytesWrittenAndRefusesSmallBuffers) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(machine::SetClient({{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}, "192.168.137.50", "", true}));
  std::uint8_t buffer[6] = {};
  std::uint32_t length = 6;
  ASSERT_EQ(SendArp(InetAddr("192.168.137.50"), 0, buffer, length), kErrorSuccess);
  EXPECT_EQ(length, 6u);
  EXPECT_EQ(buffer[5], 0xFF);
  length = 4;
  EXPECT_EQ(SendArp(InetAddr("192.168.137.50"), 0, buffer, length), kErrorBufferOverflow);
  length = 6;
  EXPECT_EQ(SendArp(InetAddr("192.168.137.51"), 0, buffer, length), kErrorBadNetName);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(InetAddr("300.1.1.1"), kInAddrNone);
}

TEST(MessageBoxTest, GoesToTheObserverOrTheMachinesLog) {
  test::EmulatedMachine machine;
  std::string seen;
  SetMessageBoxObserver([&](const std::string& text, const std::string& caption, std::uint32_t flags) {
    seen = caption + "|" + text + "|" + std::to_string(flags);
  });
  EXPECT_EQ(ShowMessageBox("You must be logged in as an administrator when running this program ", "Zephlink",
                           kMessageBoxIconWarning),
            kIdOk);
  EXPECT_EQ(seen, "Zephlink|You must be logged in as an administrator when running this program |48");
  EXPECT_EQ(machine.ReadFile("MessageBoxes.log"), "");
  SetMessageBoxObserver(nullptr);
  ShowMessageBox("Sch\xF6n", "Zephlink", kMessageBoxOk);
  EXPECT_EQ(machine.ReadFile("MessageBoxes.log"), "[Zephlink] Sch\xC3\xB6n\n");
}

TEST(ShellExecuteTest, FindsTheMachinesProgramsAndHandsDocumentsToTheShell) {
  test::EmulatedMachine machine;
  EXPECT_EQ(FindProgram("NETSH"), ProgramPathOf(machine::SystemFolder() + "/netsh.exe"));
  EXPECT_EQ(FindProgram("nothing"), "");
  ProcessHandle process;
  ASSERT_TRUE(ExecuteWithShell({"open", "cmd", "/c \"exit 3\"", "", kShowHide}, process));
  ASSERT_EQ(process.Wait(60000), ProcessHandle::WaitResult::Ended);
  std::int32_t code = 0;
  ASSERT_TRUE(process.GetExitCode(code));
  EXPECT_EQ(code, 3);
  EXPECT_FALSE(ExecuteWithShell({"edit", "cmd.exe", "", "", kShowHide}, process));
  EXPECT_FALSE(ExecuteWithShell({"open", "missing.exe", "", "", kShowHide}, process));
  // A folder is opened by the shell, not run.
  ASSERT_TRUE(ExecuteWithShell({"open", ProgramPathOf(machine.Directory()), "", "", kShowNormal}, process));
  EXPECT_FALSE(process.IsValid());
  EXPECT_EQ(machine.ReadFile("Shell.log"), "open\t" + ProgramPathOf(machine.Directory()) + "\n");
}

}  // namespace
}  // namespace zl::platform
