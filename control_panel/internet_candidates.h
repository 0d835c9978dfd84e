// Helpers of the candidate Internet connection list: which addresses are
// unsuitable as the default Internet connection, and how an entry reads.
#pragma once

#include <string>

namespace zl::panel {

// True for 0.x, 10.x, 172.16 to 172.31, 169.254 and the hosted network's
// own 192.168.137.1; false for every other address and for text that is not
// four points-separated decimal numbers.
bool IsLocalAddress(const std::string& text);

// "LAN (10.0.0.5)"
std::string CandidateItemText(const std::string& name, const std::string& address);

}  // namespace zl::panel
