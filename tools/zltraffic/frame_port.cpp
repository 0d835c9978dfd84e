#include "tools/zltraffic/frame_port.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zl::traffic {

FramePort::FramePort(std::string endpoint) : endpoint_(std::move(endpoint)) {
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  // Binding only the family asks Linux for a unique abstract address.
  sockaddr_un own{};
  own.sun_family = AF_UNIX;
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&own), sizeof(sa_family_t)) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

FramePort::~FramePort() {
  if (fd_ >= 0) ::close(fd_);
}

bool FramePort::Send(const Bytes& frame) {
  if (fd_ < 0 || endpoint_.size() >= sizeof(sockaddr_un::sun_path)) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, endpoint_.c_str(), endpoint_.size() + 1);
  for (;;) {
    const ssize_t sent = ::sendto(fd_, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&address),
                                  sizeof address);
    if (sent == ssize_t(frame.size())) return true;
    if (sent < 0 && errno == EINTR) continue;
    return false;
  }
}

std::optional<Bytes> FramePort::Read() {
  if (fd_ < 0) return std::nullopt;
  Bytes message(65536);
  for (;;) {
    const ssize_t got = ::recv(fd_, message.data(), message.size(), 0);
    if (got >= 0) {
      message.resize(std::size_t(got));
      return message;
    }
    if (errno != EINTR) return std::nullopt;
  }
}

}  // namespace zl::traffic
