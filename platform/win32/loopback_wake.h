// A wake-up signal a socket wait can include: a non-blocking loopback
// datagram socket connected to itself. Send a byte to make it readable,
// receive to drain it.
#pragma once

#include <winsock2.h>

namespace zl::platform::win32 {

// INVALID_SOCKET (WSAGetLastError tells why) when it cannot be made.
SOCKET MakeLoopbackWakeSocket();

}  // namespace zl::platform::win32
