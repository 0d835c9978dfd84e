#include "service/engine/filter_rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

namespace zl::engine {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The two settings texts the control panel sends, by its file-sharing option.
std::string ControlPanelText(bool disableP2P, bool urlLog) {
  const std::string log = urlLog ? "-1" : "0";
  if (disableP2P) {
    return "FreeUrlList=\r\nFreeMacList=\r\nEnableFirewall=-1\r\nEnableDefaultTcpPorts=0\r\n"
           "EnableDefaultUdpPorts=0\r\nEnabledTcpPorts=80;8080;8081;443;21;25;110;67;68\r\n"
           "DisabledTcpPorts=\r\nEnabledUdpPorts=110;53;67;68\r\nDisabledUdpPorts=\r\nEnableUrlLog=" +
           log + "\r\n";
  }
  return "FreeUrlList=\r\nFreeMacList=\r\nEnableFirewall=0\r\nEnableDefaultTcpPorts=-1\r\n"
         "EnableDefaultUdpPorts=-1\r\nEnabledTcpPorts=\r\nDisabledTcpPorts=\r\nEnabledUdpPorts=\r\n"
         "DisabledUdpPorts=\r\nEnableUrlLog=" +
         log + "\r\n";
}

enum class Protocol { Tcp, Udp };

struct VerdictCase {
  const char* name;
  std::string settings;
  Protocol protocol;
  std::vector<int> allowed;
  std::vector<int> refused;
  friend void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.name; }
};

class RuleVerdictTable : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(RuleVerdictTable, PortVerdicts) {
  const VerdictCase& c = GetParam();
  FilterRules rules;
  ApplySettings(c.settings, rules);
  auto allowed = [&](int port) {
    const auto p = static_cast<std::uint16_t>(port);
    return c.protocol == Protocol::Tcp ? TcpPortAllowed(rules, p) : UdpPortAllowed(rules, p);
  };
  for (int port : c.allowed) EXPECT_TRUE(allowed(port)) << "port " << port;
  for (int port : c.refused) EXPECT_FALSE(allowed(port)) << "port " << port;
}

const std::string kTcpClosed = "EnableFirewall=-1\nEnableDefaultTcpPorts=0\n";
const std::string kUdpClosed = "EnableFirewall=-1\nEnableDefaultUdpPorts=0\n";

INSTANTIATE_TEST_SUITE_P(
    Rules, RuleVerdictTable,
    ::testing::Values(
        VerdictCase{"NoTextTcp", "", Protocol::Tcp, {0, 22, 80, 6881, 65535}, {}},
        VerdictCase{"NoTextUdp", "", Protocol::Udp, {0, 22, 53, 6881, 65535}, {}},
        VerdictCase{"FirewallAloneKeepsDefaultAllow", "EnableFirewall=-1", Protocol::Tcp, {22, 6881}, {}},
        VerdictCase{"FirewallAloneKeepsDefaultAllowUdp", "EnableFirewall=-1", Protocol::Udp, {22, 6881}, {}},
        VerdictCase{"DefaultRefusedTcp", kTcpClosed, Protocol::Tcp, {}, {0, 22, 80, 65535}},
        VerdictCase{"DefaultRefusedTcpLeavesUdp", kTcpClosed, Protocol::Udp, {22, 80}, {}},
        VerdictCase{"FirewallOneIsOn", "EnableFirewall=1\nEnableDefaultTcpPorts=0", Protocol::Tcp, {}, {22}},
        VerdictCase{"FirewallTrueIsOn", "EnableFirewall=True\nEnableDefaultTcpPorts=0", Protocol::Tcp, {}, {22}},
        VerdictCase{"FirewallTRUEIsOn", "EnableFirewall=tRuE\nEnableDefaultTcpPorts=0", Protocol::Tcp, {}, {22}},
        VerdictCase{"FirewallYesStaysOff", "EnableFirewall=yes\nEnableDefaultTcpPorts=0", Protocol::Tcp, {22}, {}},
        VerdictCase{"FirewallOffOverridesEverything",
                    "EnableFirewall=0\nEnableDefaultTcpPorts=0\nDisabledTcpPorts=22",
                    Protocol::Tcp,
                    {22, 80},
                    {}},
        VerdictCase{"LowerCaseKeysRead", "enablefirewall=-1\nenabledefaulttcpports=0\nenabledtcpports=80",
                    Protocol::Tcp, {80}, {22}},
        VerdictCase{"LeadingSpaceKeyIgnored", " EnableFirewall=-1\nEnableDefaultTcpPorts=0", Protocol::Tcp, {22}, {}},
        VerdictCase{"FirstLineWins", kTcpClosed + "EnabledTcpPorts=80\nEnabledTcpPorts=443", Protocol::Tcp, {80},
                    {443}},
        VerdictCase{"SemicolonAndSpace", kTcpClosed + "EnabledTcpPorts=80; 443", Protocol::Tcp, {80, 443}, {22}},
        VerdictCase{"SpaceOnly", kTcpClosed + "EnabledTcpPorts=80 443", Protocol::Tcp, {80, 443}, {22}},
        VerdictCase{"EnabledOverridesDisabled", "EnableFirewall=-1\nEnabledTcpPorts=25\nDisabledTcpPorts=25",
                    Protocol::Tcp, {25, 26}, {}},
        VerdictCase{"DisabledWithDefaultAllow", "EnableFirewall=-1\nDisabledTcpPorts=25;6881", Protocol::Tcp, {24, 26},
                    {25, 6881}},
        VerdictCase{"LettersMatchNothing", kTcpClosed + "EnabledTcpPorts=http;80x", Protocol::Tcp, {}, {80}},
        VerdictCase{"NumberForms", kTcpClosed + "EnabledTcpPorts=+80;0443;$16;65557;-1", Protocol::Tcp,
                    {80, 443, 22, 21, 65535}, {65534}},
        VerdictCase{"UdpListsLeaveTcpAlone",
                    kTcpClosed + "EnableDefaultUdpPorts=0\nEnabledUdpPorts=53\nDisabledTcpPorts=80",
                    Protocol::Tcp,
                    {},
                    {53, 80}},
        VerdictCase{"TcpListsLeaveUdpAlone", kUdpClosed + "EnabledTcpPorts=53\nDisabledUdpPorts=80", Protocol::Udp,
                    {}, {53, 80}},
        VerdictCase{"TcpDisabledLeavesUdpAllowed", "EnableFirewall=-1\nDisabledTcpPorts=53", Protocol::Udp, {53},
                    {}},
        VerdictCase{"CrOnlyLines", "EnableFirewall=-1\rEnableDefaultTcpPorts=0\rEnabledTcpPorts=80", Protocol::Tcp,
                    {80}, {22}},
        VerdictCase{"ControlPanelP2PBlockedTcp", ControlPanelText(true, false), Protocol::Tcp,
                    {80, 8080, 8081, 443, 21, 25, 110, 67, 68}, {22, 53, 6881, 8443, 0, 65535}},
        VerdictCase{"ControlPanelP2PBlockedUdp", ControlPanelText(true, false), Protocol::Udp, {110, 53, 67, 68},
                    {80, 443, 6881, 0}},
        VerdictCase{"ControlPanelOpenTcp", ControlPanelText(false, true), Protocol::Tcp, {22, 6881, 80}, {}},
        VerdictCase{"ControlPanelOpenUdp", ControlPanelText(false, true), Protocol::Udp, {22, 6881, 53}, {}}),
    [](const ::testing::TestParamInfo<VerdictCase>& info) { return std::string(info.param.name); });

TEST(FilterRulesTest, DefaultsBeforeAnySettings) {
  const FilterRules rules;
  EXPECT_FALSE(rules.EnableFirewall);
  EXPECT_TRUE(rules.EnableDefaultTcpPorts);
  EXPECT_TRUE(rules.EnableDefaultUdpPorts);
  EXPECT_FALSE(rules.EnableUrlLog);
  EXPECT_THAT(rules.EnabledTcpPorts, IsEmpty());
}

TEST(FilterRulesTest, UrlLogSwitch) {
  struct Case {
    std::string text;
    bool urlLog;
  };
  for (const Case& c : std::vector<Case>{{ControlPanelText(true, true), true},
                                         {ControlPanelText(true, false), false},
                                         {ControlPanelText(false, true), true},
                                         {"EnableUrlLog=1", true},
                                         {"EnableUrlLog=maybe", false},
                                         {"", false}}) {
    SCOPED_TRACE(c.text);
    FilterRules rules;
    ApplySettings(c.text, rules);
    EXPECT_EQ(rules.EnableUrlLog, c.urlLog);
  }
}

TEST(FilterRulesTest, ALaterTextReplacesTheWholeRuleSet) {
  FilterRules rules;
  ApplySettings(ControlPanelText(true, true) + "FreeUrlList=a.com\tb.org\nDisabledUdpPorts=9", rules);
  ASSERT_TRUE(rules.EnableFirewall);
  ApplySettings("EnableFirewall=-1\nFreeMacList=02-00-00-00-00-01", rules);
  EXPECT_TRUE(rules.EnableFirewall);
  EXPECT_TRUE(rules.EnableDefaultTcpPorts);
  EXPECT_TRUE(rules.EnableDefaultUdpPorts);
  EXPECT_FALSE(rules.EnableUrlLog);
  EXPECT_THAT(rules.EnabledTcpPorts, IsEmpty());
  EXPECT_THAT(rules.EnabledUdpPorts, IsEmpty());
  EXPECT_THAT(rules.DisabledUdpPorts, IsEmpty());
  EXPECT_THAT(rules.FreeUrlList, IsEmpty());
  EXPECT_THAT(rules.FreeMacList, ElementsAre("02-00-00-00-00-01"));
}

TEST(FilterRulesTest, FreeListsAreSplitAtTabsButDecideNothing) {
  FilterRules rules;
  ApplySettings(kTcpClosed + "FreeUrlList=a.com\tb.org\nFreeMacList=02-1A-2B-3C-4D-EF", rules);
  EXPECT_THAT(rules.FreeUrlList, ElementsAre("a.com", "b.org"));
  EXPECT_THAT(rules.FreeMacList, ElementsAre("02-1A-2B-3C-4D-EF"));
  EXPECT_FALSE(TcpPortAllowed(rules, 80));
}

TEST(FilterRulesTest, DuplicatesAndUnknownLinesAreHarmless) {
  FilterRules rules;
  ApplySettings("garbage\n\n=\nUnknown=1\n" + kTcpClosed + "EnabledTcpPorts=80;80;80", rules);
  EXPECT_EQ(rules.EnabledTcpPorts.size(), 3u);
  EXPECT_TRUE(TcpPortAllowed(rules, 80));
  EXPECT_FALSE(TcpPortAllowed(rules, 81));
}

}  // namespace
}  // namespace zl::engine
