#include "shared/netquery/host_queries.h"

#include <cstdint>
#include <cstdio>

#include "shared/support/trim.h"
#include "zl/platform/ip_helper.h"

namespace zl::netquery {

std::string GetMACAddressByIP(const std::string& address) {
  try {
    std::uint8_t buffer[6] = {};
    std::uint32_t length = sizeof buffer;
    platform::SendArp(platform::InetAddr(address), 0, buffer, length);
    // Only the bytes the platform reports count, whatever its result code.
    if (length > sizeof buffer) length = sizeof buffer;
    std::string text;
    char part[4];
    for (std::uint32_t i = 0; i < length; ++i) {
      std::snprintf(part, sizeof part, "%02X-", buffer[i]);
      text += part;
    }
    if (!text.empty()) text.pop_back();
    return text;
  } catch (...) {
    return {};
  }
}

bool HasMACAddress(const std::string& address) { return !Trim(GetMACAddressByIP(address)).empty(); }

std::string GetHostNameByIP(const std::string& address) {
  try {
    platform::StartSocketLibrary(0x0101);
    std::string name;
    return platform::GetHostByAddress(platform::InetAddr(address), name) ? name : std::string();
  } catch (...) {
    return {};
  }
}

}  // namespace zl::netquery
