#include "zl/platform/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zl::platform {
namespace {

bool IsWouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

IoResult Failed(int error) { return {IoStatus::kFailed, 0, error}; }

sockaddr_in MakeAddress(IPv4Address address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  return sa;
}

int NewTcpSocket() { return socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0); }

IoResult FromReceive(ssize_t n) {
  if (n > 0) return {IoStatus::kDone, static_cast<std::size_t>(n), 0};
  if (n == 0) return {IoStatus::kClosed, 0, 0};
  if (IsWouldBlock(errno)) return {IoStatus::kWouldBlock, 0, 0};
  return Failed(errno);
}

IoResult ReceiveWithFlags(SocketHandle socket, std::span<std::uint8_t> buffer, int flags) {
  if (buffer.empty()) return {IoStatus::kDone, 0, 0};
  ssize_t n;
  do {
    n = recv(static_cast<int>(socket), buffer.data(), buffer.size(), flags);
  } while (n < 0 && errno == EINTR);
  return FromReceive(n);
}

}  // namespace

bool ParseDottedIPv4(const std::string& text, IPv4Address& address) {
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
  address = ntohl(parsed.s_addr);
  return true;
}

bool LookupHostIPv4(const std::string& host, IPv4Address& address, int& error) {
  if (ParseDottedIPv4(host, address)) return true;
  if (host.empty()) {
    error = NameNotFoundError();
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    error = rc == EAI_SYSTEM ? errno : NameNotFoundError();
    return false;
  }
  address = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return true;
}

bool LookupServicePort(const std::string& service, std::uint16_t& port) {
  servent entry{};
  servent* result = nullptr;
  char buffer[1024];
  if (getservbyname_r(service.c_str(), "tcp", &entry, buffer, sizeof buffer, &result) != 0 || result == nullptr) {
    return false;
  }
  port = ntohs(static_cast<std::uint16_t>(result->s_port));
  return true;
}

int NameNotFoundError() { return EHOSTUNREACH; }

SocketHandle ListenTcp(const std::string& bindAddress, std::uint16_t port, int& error) {
  IPv4Address address = INADDR_ANY;
  if (!bindAddress.empty() && !ParseDottedIPv4(bindAddress, address)) {
    error = EINVAL;
    return kInvalidSocket;
  }
  const int fd = NewTcpSocket();
  if (fd < 0) {
    error = errno;
    return kInvalidSocket;
  }
  // A restarted program may listen again at once, while connections of its
  // previous run linger in TIME_WAIT (Windows allows that by default).
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const sockaddr_in sa = MakeAddress(address, port);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, SOMAXCONN) != 0) {
    error = errno;
    close(fd);
    return kInvalidSocket;
  }
  return fd;
}

std::uint16_t LocalPort(SocketHandle socket) {
  sockaddr_in sa{};
  socklen_t length = sizeof sa;
  if (getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&sa), &length) != 0) return 0;
  return ntohs(sa.sin_port);
}

IoResult AcceptTcp(SocketHandle listener, SocketHandle& accepted) {
  int fd;
  do {
    fd = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    accepted = fd;
    return {IoStatus::kDone, 0, 0};
  }
  if (IsWouldBlock(errno)) return {IoStatus::kWouldBlock, 0, 0};
  return Failed(errno);
}

IoResult ConnectTcp(IPv4Address address, std::uint16_t port, SocketHandle& socket) {
  const int fd = NewTcpSocket();
  if (fd < 0) return Failed(errno);
  const sockaddr_in sa = MakeAddress(address, port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) {
    socket = fd;
    return {IoStatus::kDone, 0, 0};
  }
  const int error = errno;
  if (error == EINPROGRESS || error == EINTR) {
    socket = fd;
    return {IoStatus::kWouldBlock, 0, 0};
  }
  close(fd);
  return Failed(error);
}

int TakeSocketError(SocketHandle socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

IoResult BytesAvailable(SocketHandle socket) {
  int available = 0;
  if (ioctl(static_cast<int>(socket), FIONREAD, &available) != 0) return Failed(errno);
  return {IoStatus::kDone, static_cast<std::size_t>(available < 0 ? 0 : available), 0};
}

IoResult Receive(SocketHandle socket, std::span<std::uint8_t> buffer) { return ReceiveWithFlags(socket, buffer, 0); }

IoResult Peek(SocketHandle socket, std::span<std::uint8_t> buffer) {
  return ReceiveWithFlags(socket, buffer, MSG_PEEK);
}

IoResult Send(SocketHandle socket, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return {IoStatus::kDone, 0, 0};
  ssize_t n;
  do {
    // No SIGPIPE for a peer that went away: the error comes back as EPIPE.
    n = send(static_cast<int>(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  if (n >= 0) return {IoStatus::kDone, static_cast<std::size_t>(n), 0};
  if (IsWouldBlock(errno)) return {IoStatus::kWouldBlock, 0, 0};
  return Failed(errno);
}

void CloseSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) close(static_cast<int>(socket));
}

bool IsConnectionLostError(int error) {
  switch (error) {
    case ECONNRESET:
    case ECONNABORTED:
    case ETIMEDOUT:
    case EPIPE:
    case ENOTCONN:
    case ENETRESET:
    case EHOSTUNREACH:
    case ENETUNREACH:
      return true;
    default:
      return false;
  }
}

std::string SocketErrorText(int error) { return std::strerror(error); }

}  // namespace zl::platform
