// Address resolution and reverse name lookup for the devices on the hotspot.
// Each call blocks for as long as the platform's query takes; none raises.
#pragma once

#include <string>

namespace zl::netquery {

// The hardware address answering ARP for the IPv4 address, as upper-case
// two-digit hexadecimal numbers joined by "-"; "" without an answer.
std::string GetMACAddressByIP(const std::string& address);
bool HasMACAddress(const std::string& address);
// The host name of the address by reverse lookup; "" when there is none.
std::string GetHostNameByIP(const std::string& address);

}  // namespace zl::netquery
