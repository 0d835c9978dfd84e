// The service's rules for the clients' TCP and UDP traffic, the settings text
// that replaces them, and the two port verdicts the packet thread asks for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "service/engine/port_list.h"

namespace zl::engine {

struct FilterRules {
  bool EnableFirewall = false;  // false: every port is allowed
  bool EnableDefaultTcpPorts = true;  // verdict for a TCP port in neither TCP list
  bool EnableDefaultUdpPorts = true;
  PortList EnabledTcpPorts;  // always allowed; overrides the disabled list
  PortList DisabledTcpPorts;
  PortList EnabledUdpPorts;
  PortList DisabledUdpPorts;
  bool EnableUrlLog = false;
  // Accepted from the settings text, TAB-separated; no verdict, log or report
  // consults them.
  std::vector<std::string> FreeUrlList;
  std::vector<std::string> FreeMacList;
};

// Replaces the whole rule set from a settings text; a key without a line (or
// with an unreadable value) resets its field to the default of FilterRules.
// The keys are read in a fixed order and written straight into the rules, so
// an unexpected error (out of memory) leaves the fields read so far replaced
// and is raised to the caller. An error inside one port list only leaves that
// list as far as it was filled; the remaining keys are still read.
void ApplySettings(std::string_view settingsText, FilterRules& rules);

// The port is the header's value in host order.
bool TcpPortAllowed(const FilterRules& rules, std::uint16_t port) noexcept;
bool UdpPortAllowed(const FilterRules& rules, std::uint16_t port) noexcept;

}  // namespace zl::engine
