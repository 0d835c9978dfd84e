#include "control_panel/settings/settings_text.h"

#include "control_panel/settings/settings_store.h"

namespace zl::panel::settings {
namespace {

const char* BoolText(bool value) { return value ? "-1" : "0"; }

}  // namespace

void BuildSettingsText(std::vector<std::string>& lines) {
  lines.clear();
  try {
    lines.push_back("FreeUrlList=");
    lines.push_back("FreeMacList=");
    lines.push_back(std::string("EnableFirewall=") + BoolText(ReadDisableP2P()));
    // Blocking file sharing: the firewall closes every port by default and
    // opens only the ordinary service ports; otherwise every port is open.
    const bool blocking = ReadDisableP2P();
    lines.push_back(std::string("EnableDefaultTcpPorts=") + BoolText(!blocking));
    lines.push_back(std::string("EnableDefaultUdpPorts=") + BoolText(!blocking));
    lines.push_back(std::string("EnabledTcpPorts=") + (blocking ? "80;8080;8081;443;21;25;110;67;68" : ""));
    lines.push_back("DisabledTcpPorts=");
    lines.push_back(std::string("EnabledUdpPorts=") + (blocking ? "110;53;67;68" : ""));
    lines.push_back("DisabledUdpPorts=");
    lines.push_back(std::string("EnableUrlLog=") + BoolText(ReadEnableUrlLog()));
  } catch (...) {
  }
}

std::string JoinSettingsLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace zl::panel::settings
