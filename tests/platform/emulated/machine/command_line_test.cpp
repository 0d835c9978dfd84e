#include <gtest/gtest.h>

#include "zl/platform/process.h"

namespace zl::platform {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLineTest, FollowsTheCRuntimeRules) {
  const struct {
    const char* line;
    Args args;
  } rows[] = {
      {"netsh wlan start hostednetwork", {"netsh", "wlan", "start", "hostednetwork"}},
      {"netsh ssid=\"My Net\" key=\"12345678\"", {"netsh", "ssid=My Net", "key=12345678"}},
      {"\"C:\\Program Files\\x.exe\" a", {"C:\\Program Files\\x.exe", "a"}},
      {"p \"a\"\"b\"", {"p", "a\"b"}},          // doubled quote inside quotes
      {"p a\\\"b", {"p", "a\"b"}},              // escaped quote
      {"p a\\\\\"b c\"", {"p", "a\\b c"}},      // even backslashes before a quote
      {"p a\\b\\\\c", {"p", "a\\b\\\\c"}},      // backslashes not before a quote
      {"p  \t x   ", {"p", "x"}},
      {"p \"\"", {"p", ""}},
      {"p \"unclosed quote", {"p", "unclosed quote"}},
      {"p ssid=\"abc\\\" key=\"1\"", {"p", "ssid=abc\" key=1"}},  // a trailing backslash eats the quote
      {"", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(SplitCommandLine(row.line), row.args);
  }
}

}  // namespace
}  // namespace zl::platform
