#include "winsock.h"

#include <winsock2.h>

namespace zl::platform::win32 {

void EnsureWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

}  // namespace zl::platform::win32
