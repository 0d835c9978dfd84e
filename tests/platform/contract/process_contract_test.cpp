// Programs started through the shell and directly, their exit codes, and a
// named mutex held by another process.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/platform/contract/contract_environment.h"
#include "zl/platform/files.h"
#include "zl/platform/named_mutex.h"
#include "zl/platform/process.h"

namespace zl::platform {
namespace {

class ProcessContract : public ::testing::Test {
 protected:
  contract::MachineScope machine;
  const std::string helper = contract::BuiltProgram("zlcontract-helper");
};

TEST_F(ProcessContract, AProgramStartedWithAVerbReportsItsExitCode) {
  for (const char* verb : {"open", ""}) {
    ShellExecuteRequest request;
    request.verb = verb;
    request.file = helper;
    request.parameters = "exit 7";
    request.show = kShowHide;
    ProcessHandle process;
    ASSERT_TRUE(ExecuteWithShell(request, process)) << verb;
    ASSERT_TRUE(process.IsValid());
    std::int32_t code = -1;
    ASSERT_EQ(process.Wait(30000), ProcessHandle::WaitResult::Ended);
    ASSERT_TRUE(process.GetExitCode(code));
    EXPECT_EQ(code, 7) << verb;
    // Waiting again on an ended process answers at once with the same code.
    EXPECT_EQ(process.Wait(0), ProcessHandle::WaitResult::Ended);
  }
}

TEST_F(ProcessContract, TheShellRefusesAMissingFile) {
  ShellExecuteRequest request;
  request.verb = "open";
  request.file = helper + "-missing";
  request.show = kShowHide;
  ProcessHandle process;
  EXPECT_FALSE(ExecuteWithShell(request, process));
  EXPECT_FALSE(process.IsValid());
}

TEST_F(ProcessContract, ARunningProgramIsNotEndedAndNoExitCodeIsMadeUp) {
  const std::string folder = contract::ScratchFolder("running");
  const std::string release = folder + "\\release";
  ProcessHandle process;
  ASSERT_TRUE(StartProgram(helper, "\"" + helper + "\" hold ZlContractRunning \"" + folder + "\\ready\" \"" + release + "\"",
                           process));
  EXPECT_EQ(process.Wait(0), ProcessHandle::WaitResult::TimedOut);
  std::int32_t code = -1;
  EXPECT_FALSE(process.GetExitCode(code));
  ASSERT_TRUE(CreateOrTruncateFile(release));
  ASSERT_EQ(process.Wait(30000), ProcessHandle::WaitResult::Ended);
  ASSERT_TRUE(process.GetExitCode(code));
  EXPECT_EQ(code, 0);
}

TEST_F(ProcessContract, ANamedMutexHeldByAnotherProcessIsTakenOnlyAfterItEnds) {
  const std::string name = "ZephlinkContractMutex";
  const std::string folder = contract::ScratchFolder("mutex");
  const std::string ready = folder + "\\ready";
  const std::string release = folder + "\\release";
  ProcessHandle holder;
  ASSERT_TRUE(StartProgram(helper, "\"" + helper + "\" hold " + name + " \"" + ready + "\" \"" + release + "\"", holder));
  std::string state;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while ((!ReadWholeFile(ready, state) || state.empty()) && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(state, "held");

  NamedMutex mine;
  EXPECT_EQ(mine.Create(name), NamedMutex::Result::AlreadyExists);
  mine.Close();

  ASSERT_TRUE(CreateOrTruncateFile(release));
  ASSERT_EQ(holder.Wait(30000), ProcessHandle::WaitResult::Ended);
  std::int32_t code = -1;
  ASSERT_TRUE(holder.GetExitCode(code));
  EXPECT_EQ(code, 0);

  EXPECT_EQ(mine.Create(name), NamedMutex::Result::Created);
  // Held here now: a second holder in this process is told so as well.
  NamedMutex second;
  EXPECT_EQ(second.Create(name), NamedMutex::Result::AlreadyExists);
}

TEST_F(ProcessContract, ABareProgramNameIsFoundInTheSystemFolder) {
  const std::string found = FindProgram("CMD");
  ASSERT_GE(found.size(), 8u) << found;
  std::string tail = found.substr(found.size() - 8);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  EXPECT_EQ(tail, "\\cmd.exe") << found;
  EXPECT_TRUE(FileExists(found)) << found;
  EXPECT_EQ(FindProgram("zl-no-such-program"), "");
}

TEST(CommandLineContract, ArgumentsSplitByTheRuntimeRules) {
  EXPECT_EQ(SplitCommandLine("prog.exe a \"b c\" d"), (std::vector<std::string>{"prog.exe", "a", "b c", "d"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\Z\\ZephlinkSvc.exe\" INSTALL SILENT"),
            (std::vector<std::string>{"C:\\Program Files\\Z\\ZephlinkSvc.exe", "INSTALL", "SILENT"}));
  EXPECT_EQ(SplitCommandLine("p x\\\"y \"a\\\\\" z"), (std::vector<std::string>{"p", "x\"y", "a\\", "z"}));
  EXPECT_TRUE(SplitCommandLine("").empty());
}

TEST(CommandLineContract, TheProgramKnowsItsOwnFile) {
  const std::string file = ProgramFile();
  EXPECT_TRUE(FileExists(file)) << file;
  EXPECT_EQ(ProgramFolder(), file.substr(0, file.rfind('\\') + 1));
}

}  // namespace
}  // namespace zl::platform
