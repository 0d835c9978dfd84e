#include "loopback_wake.h"

#include <windows.h>

#include "winsock.h"

namespace zl::platform::win32 {

SOCKET MakeLoopbackWakeSocket() {
  EnsureWinsock();
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof sa;
  u_long nonBlocking = 1;
  if (bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&sa), &length) != 0 ||
      connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    const int error = WSAGetLastError();
    closesocket(s);
    WSASetLastError(error);
    return INVALID_SOCKET;
  }
  // Not handed to started programs.
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  return s;
}

}  // namespace zl::platform::win32
