#include "device_wire.h"

#include <sys/socket.h>

#include <cerrno>

namespace zl::platform::devicewire {

bool SendAll(int fd, const void* data, std::size_t length) {
  const auto* bytes = static_cast<const char*>(data);
  while (length > 0) {
    const ssize_t sent = ::send(fd, bytes, length, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    length -= std::size_t(sent);
  }
  return true;
}

bool ReceiveAll(int fd, void* data, std::size_t length) {
  auto* bytes = static_cast<char*>(data);
  while (length > 0) {
    const ssize_t got = ::recv(fd, bytes, length, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    length -= std::size_t(got);
  }
  return true;
}

}  // namespace zl::platform::devicewire
