#include "service/engine/settings_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zl::engine {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SettingsTextTest, LinesEndAtCrLfOrCrLf) {
  EXPECT_THAT(SplitSettingsLines("a\r\nb\rc\nd"), ElementsAre("a", "b", "c", "d"));
  EXPECT_THAT(SplitSettingsLines("a\r\n"), ElementsAre("a"));
  EXPECT_THAT(SplitSettingsLines("a\n\rb"), ElementsAre("a", "", "b"));
  EXPECT_THAT(SplitSettingsLines("\r\n\r\na"), ElementsAre("", "", "a"));
  EXPECT_THAT(SplitSettingsLines(""), IsEmpty());
}

TEST(SettingsTextTest, ValueOfTheFirstMatchingLine) {
  struct Case {
    const char* text;
    const char* key;
    const char* value;
  };
  for (const Case& c : std::vector<Case>{
           {"EnableFirewall=-1", "EnableFirewall", "-1"},
           {"enablefirewall=-1", "EnableFirewall", "-1"},
           {"ENABLEFIREWALL=1", "EnableFirewall", "1"},
           {" EnableFirewall=-1", "EnableFirewall", ""},
           {"EnableFirewall =-1", "EnableFirewall", ""},
           {"EnableFirewall= -1 ", "EnableFirewall", " -1 "},
           {"EnableFirewall=a=b", "EnableFirewall", "a=b"},
           {"EnableFirewall", "EnableFirewall", ""},
           {"Other=1\nEnableFirewall=2\nEnableFirewall=3", "EnableFirewall", "2"},
           {"EnableFirewall=\nEnableFirewall=3", "EnableFirewall", ""},
           {"=x\nEnableFirewall=4", "EnableFirewall", "4"},
           {"EnableFirewallX=1", "EnableFirewall", ""},
       }) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReadSettingsValue(SplitSettingsLines(c.text), c.key), c.value);
  }
}

TEST(SettingsTextTest, Booleans) {
  struct Case {
    const char* value;
    bool whenDefaultFalse;
    bool whenDefaultTrue;
  };
  for (const Case& c : std::vector<Case>{
           {"-1", true, true},     {"1", true, true},      {"0", false, false},     {"00", false, false},
           {"2", true, true},      {"+1", true, true},     {"0.0", false, false},   {"0.5", true, true},
           {".5", true, true},     {"1e3", true, true},    {"0e5", false, false},   {"-0", false, false},
           {"True", true, true},   {"tRUE", true, true},   {"FALSE", false, false}, {"false", false, false},
           {"", false, true},      {"yes", false, true},   {"no", false, true},     {" -1", false, true},
           {"-1 ", false, true},   {"1.", true, true},     {".", false, true},      {"1e", false, true},
           {"Truex", false, true}, {"- 1", false, true},
       }) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ReadSettingsBoolean(c.value, false), c.whenDefaultFalse);
    EXPECT_EQ(ReadSettingsBoolean(c.value, true), c.whenDefaultTrue);
  }
}

TEST(SettingsTextTest, TabLists) {
  EXPECT_THAT(SplitTabList(""), IsEmpty());
  EXPECT_THAT(SplitTabList("a.com"), ElementsAre("a.com"));
  EXPECT_THAT(SplitTabList("a.com\tb.org"), ElementsAre("a.com", "b.org"));
  EXPECT_THAT(SplitTabList("\ta b\t"), ElementsAre("", "a b", ""));
}

}  // namespace
}  // namespace zl::engine
