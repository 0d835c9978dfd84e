// The message catalogue of the link between control panel and service, and
// the port the control panel listens on.
#pragma once

#include <cstdint>

namespace zl {

inline constexpr std::uint16_t kHotspotLinkPort = 7467;

inline constexpr std::uint8_t MSG_PING = 28;              // panel to service, no text
inline constexpr std::uint8_t MSG_SERVICE_HELLO = 29;     // service to panel, on connecting
inline constexpr std::uint8_t MSG_SETTINGS = 30;          // panel to service, the settings text
inline constexpr std::uint8_t MSG_CLIENT_ADDRESSES = 32;  // service to panel, one IPv4 address per line

}  // namespace zl
