#include "service/engine/filter_rules.h"

#include "service/engine/settings_text.h"

namespace zl::engine {
namespace {

void LoadPortList(const std::vector<std::string_view>& lines, std::string_view key, PortList& target) {
  try {
    ParsePortList(ReadSettingsValue(lines, key), target);
  } catch (...) {
    // The list keeps what was filled; the other keys still count.
  }
}

void LoadPortRules(const std::vector<std::string_view>& lines, FilterRules& rules) {
  LoadPortList(lines, "EnabledTcpPorts", rules.EnabledTcpPorts);
  LoadPortList(lines, "DisabledTcpPorts", rules.DisabledTcpPorts);
  LoadPortList(lines, "EnabledUdpPorts", rules.EnabledUdpPorts);
  LoadPortList(lines, "DisabledUdpPorts", rules.DisabledUdpPorts);
  rules.EnableDefaultTcpPorts = ReadSettingsBoolean(ReadSettingsValue(lines, "EnableDefaultTcpPorts"), true);
  rules.EnableDefaultUdpPorts = ReadSettingsBoolean(ReadSettingsValue(lines, "EnableDefaultUdpPorts"), true);
  rules.EnableFirewall = ReadSettingsBoolean(ReadSettingsValue(lines, "EnableFirewall"), false);
  rules.EnableUrlLog = ReadSettingsBoolean(ReadSettingsValue(lines, "EnableUrlLog"), false);
}

bool PortAllowed(bool firewall, const PortList& enabled, const PortList& disabled, bool byDefault,
                 std::uint16_t port) noexcept {
  if (!firewall) return true;
  if (PortListContains(enabled, port)) return true;
  return byDefault && !PortListContains(disabled, port);
}

}  // namespace

void ApplySettings(std::string_view settingsText, FilterRules& rules) {
  const std::vector<std::string_view> lines = SplitSettingsLines(settingsText);
  rules.FreeUrlList = SplitTabList(ReadSettingsValue(lines, "FreeUrlList"));
  rules.FreeMacList = SplitTabList(ReadSettingsValue(lines, "FreeMacList"));
  LoadPortRules(lines, rules);
}

bool TcpPortAllowed(const FilterRules& rules, std::uint16_t port) noexcept {
  return PortAllowed(rules.EnableFirewall, rules.EnabledTcpPorts, rules.DisabledTcpPorts,
                     rules.EnableDefaultTcpPorts, port);
}

bool UdpPortAllowed(const FilterRules& rules, std::uint16_t port) noexcept {
  return PortAllowed(rules.EnableFirewall, rules.EnabledUdpPorts, rules.DisabledUdpPorts,
                     rules.EnableDefaultUdpPorts, port);
}

}  // namespace zl::engine
