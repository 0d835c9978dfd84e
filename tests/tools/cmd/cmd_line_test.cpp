#include "tools/cmd/cmd_line.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zl::tools::cmd {
namespace {

bool NoProgram(const std::string&) { return false; }
bool AnyProgram(const std::string&) { return true; }

TEST(CmdLineTest, FindsTheCommandAfterTheSwitch) {
  const struct {
    const char* line;
    bool runAndExit;
    bool strip;
    const char* command;
  } rows[] = {
      {"\"C:\\Windows\\system32\\cmd.exe\" /c \"netsh wlan start hostednetwork\"", true, false,
       "\"netsh wlan start hostednetwork\""},
      {"cmd.exe /C  echo x", true, false, "echo x"},
      {"cmd /s /c \"a\"", true, true, "\"a\""},
      {"cmd /q /d /K dir", true, false, "dir"},
      {"cmd/c echo", true, false, "echo"},
      {"cmd", false, false, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    const Invocation invocation = ParseInvocation(row.line);
    EXPECT_EQ(invocation.runAndExit, row.runAndExit);
    EXPECT_EQ(invocation.stripQuotesOnly, row.strip);
    EXPECT_EQ(invocation.command, row.command);
  }
}

TEST(CmdLineTest, QuoteRuleOfTheInterpreter) {
  const struct {
    const char* command;
    bool (*isProgram)(const std::string&);
    const char* result;
  } rows[] = {
      // The hosted-network line: the first and the last quote go.
      {"\"netsh wlan set hostednetwork mode=allow ssid=\"My Net\" key=\"12345678\" keyUsage=persistent\"", NoProgram,
       "netsh wlan set hostednetwork mode=allow ssid=\"My Net\" key=\"12345678\" keyUsage=persistent"},
      {"\"netsh wlan start hostednetwork\"", NoProgram, "netsh wlan start hostednetwork"},
      // One quoted program name with blanks keeps its quotes...
      {"\"C:\\Program Files\\tool.exe\"", AnyProgram, "\"C:\\Program Files\\tool.exe\""},
      // ...unless it is no program, or holds a special character.
      {"\"C:\\Program Files\\tool.exe\"", NoProgram, "C:\\Program Files\\tool.exe"},
      {"\"a & b\"", AnyProgram, "a & b"},
      // Text after the last quote stays.
      {"\"echo a\" tail", NoProgram, "echo a tail"},
      {"echo \"a\"", NoProgram, "echo \"a\""},
      {"\"", NoProgram, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command);
    Invocation invocation;
    invocation.runAndExit = true;
    invocation.command = row.command;
    EXPECT_EQ(ApplyQuoteRule(invocation, row.isProgram), row.result);
  }
}

TEST(CmdLineTest, SplitsAtSeparatorsOutsideQuotes) {
  const auto commands = SplitCommands("a \"x & y\" & b && c || d | e ^& f");
  ASSERT_EQ(commands.size(), 5u);
  EXPECT_EQ(commands[0].text, "a \"x & y\" ");
  EXPECT_EQ(commands[0].after, Joiner::Always);
  EXPECT_EQ(commands[1].text, " b ");
  EXPECT_EQ(commands[1].after, Joiner::OnSuccess);
  EXPECT_EQ(commands[2].after, Joiner::OnFailure);
  EXPECT_EQ(commands[3].after, Joiner::Pipe);
  EXPECT_EQ(commands[4].text, " e & f");
  EXPECT_EQ(commands[4].after, Joiner::None);
}

TEST(CmdLineTest, ExpandsKnownVariablesEvenInsideQuotes) {
  setenv("ZL_CMD_TEST", "value", 1);
  EXPECT_EQ(ExpandVariables("\"%ZL_CMD_TEST%\" %UNKNOWN_ZL% 100%"), "\"value\" %UNKNOWN_ZL% 100%");
  unsetenv("ZL_CMD_TEST");
}

}  // namespace
}  // namespace zl::tools::cmd
