// The settings text the control panel sends, applied with ApplySettings.
// Every verdict afterwards must be a pure function of the text: rules that
// held another text before give the same rule set and the same verdicts as
// fresh rules, and each verdict is the one the port lists and switches call
// for.
//
// Input: the settings text.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "service/engine/filter_rules.h"
#include "service/engine/port_list.h"
#include "service/engine/settings_text.h"

namespace {

using zl::engine::FilterRules;
using zl::engine::PortList;

bool SameRules(const FilterRules& a, const FilterRules& b) {
  return a.EnableFirewall == b.EnableFirewall && a.EnableDefaultTcpPorts == b.EnableDefaultTcpPorts &&
         a.EnableDefaultUdpPorts == b.EnableDefaultUdpPorts && a.EnabledTcpPorts == b.EnabledTcpPorts &&
         a.DisabledTcpPorts == b.DisabledTcpPorts && a.EnabledUdpPorts == b.EnabledUdpPorts &&
         a.DisabledUdpPorts == b.DisabledUdpPorts && a.EnableUrlLog == b.EnableUrlLog &&
         a.FreeUrlList == b.FreeUrlList && a.FreeMacList == b.FreeMacList;
}

// A rule set unlike the defaults in every field.
FilterRules Preloaded() {
  FilterRules rules;
  zl::engine::ApplySettings(
      "EnableFirewall=1\nEnableDefaultTcpPorts=0\nEnableDefaultUdpPorts=0\nEnableUrlLog=1\n"
      "EnabledTcpPorts=80;443\nDisabledTcpPorts=21\nEnabledUdpPorts=53\nDisabledUdpPorts=137 138\n"
      "FreeUrlList=a\tb\nFreeMacList=00-11-22-33-44-55\n",
      rules);
  return rules;
}

std::set<std::uint16_t> PortsOf(const PortList& list) {
  std::set<std::uint16_t> ports;
  for (const auto& entry : list) {
    ZL_FUZZ_CHECK(entry.isPort ? entry.text.empty() : true);
    if (entry.isPort) ports.insert(entry.port);
  }
  return ports;
}

// The verdict the switches and lists call for.
struct ExpectedVerdicts {
  bool firewall;
  bool byDefault;
  std::set<std::uint16_t> enabled, disabled;

  bool Allowed(std::uint16_t port) const {
    if (!firewall) return true;
    if (enabled.count(port)) return true;
    return byDefault && !disabled.count(port);
  }
};

void CheckVerdicts(const FilterRules& rules, const FilterRules& other, const std::set<std::uint16_t>& ports) {
  const ExpectedVerdicts tcpRules{rules.EnableFirewall, rules.EnableDefaultTcpPorts, PortsOf(rules.EnabledTcpPorts),
                                  PortsOf(rules.DisabledTcpPorts)};
  const ExpectedVerdicts udpRules{rules.EnableFirewall, rules.EnableDefaultUdpPorts, PortsOf(rules.EnabledUdpPorts),
                                  PortsOf(rules.DisabledUdpPorts)};
  for (const std::uint16_t port : ports) {
    const bool tcp = zl::engine::TcpPortAllowed(rules, port);
    const bool udp = zl::engine::UdpPortAllowed(rules, port);
    ZL_FUZZ_CHECK(tcp == zl::engine::TcpPortAllowed(other, port));
    ZL_FUZZ_CHECK(udp == zl::engine::UdpPortAllowed(other, port));
    ZL_FUZZ_CHECK(tcp == tcpRules.Allowed(port));
    ZL_FUZZ_CHECK(udp == udpRules.Allowed(port));
  }
}

// Each port list's entries match its items one to one.
void CheckPortList(const std::vector<std::string_view>& lines, std::string_view key, const PortList& list) {
  const std::string_view value = zl::engine::ReadSettingsValue(lines, key);
  ZL_FUZZ_CHECK(zl::engine::SplitPortListItems(value).size() == list.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = zl::fuzz::AsText({data, size});

  FilterRules fresh;
  zl::engine::ApplySettings(text, fresh);
  static const FilterRules preloaded = Preloaded();
  FilterRules reused = preloaded;
  zl::engine::ApplySettings(text, reused);
  ZL_FUZZ_CHECK(SameRules(fresh, reused));

  const std::vector<std::string_view> lines = zl::engine::SplitSettingsLines(text);
  for (const std::string_view line : lines) {
    ZL_FUZZ_CHECK(line.find('\r') == std::string_view::npos && line.find('\n') == std::string_view::npos);
  }
  CheckPortList(lines, "EnabledTcpPorts", fresh.EnabledTcpPorts);
  CheckPortList(lines, "DisabledTcpPorts", fresh.DisabledTcpPorts);
  CheckPortList(lines, "EnabledUdpPorts", fresh.EnabledUdpPorts);
  CheckPortList(lines, "DisabledUdpPorts", fresh.DisabledUdpPorts);
  for (const std::string& item : fresh.FreeUrlList) ZL_FUZZ_CHECK(item.find('\t') == std::string::npos);

  // The ports any list names, their neighbours, and a few fixed ones.
  std::set<std::uint16_t> ports = {0, 1, 21, 53, 79, 80, 81, 137, 443, 8080, 65534, 65535};
  for (const PortList* list : {&fresh.EnabledTcpPorts, &fresh.DisabledTcpPorts, &fresh.EnabledUdpPorts,
                               &fresh.DisabledUdpPorts}) {
    for (const std::uint16_t port : PortsOf(*list)) {
      ports.insert(port);
      ports.insert(static_cast<std::uint16_t>(port + 1));
      ports.insert(static_cast<std::uint16_t>(port - 1));
    }
  }
  CheckVerdicts(fresh, reused, ports);
  return 0;
}
