// The codes of the messages between control panel and service: the first
// byte of every payload. Any other code is ignored by both sides.
#pragma once

#include <cstdint>

namespace zl {

inline constexpr std::uint8_t MSG_PING = 28;              // control panel to service, no text
inline constexpr std::uint8_t MSG_SERVICE_HELLO = 29;     // service to control panel, no text
inline constexpr std::uint8_t MSG_SETTINGS = 30;          // control panel to service: the settings text
inline constexpr std::uint8_t MSG_CLIENT_ADDRESSES = 32;  // service to control panel: the client address report

// The control panel's port; the service connects to it on 127.0.0.1.
inline constexpr int kControlPanelPort = 7467;

}  // namespace zl
