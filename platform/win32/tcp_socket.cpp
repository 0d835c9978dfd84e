// Non-blocking IPv4 TCP over Winsock. Error codes are WSA codes.
#include "zl/platform/tcp_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "text.h"
#include "winsock.h"

namespace zl::platform {
namespace {

IoResult Failed(int error) { return {IoStatus::kFailed, 0, error}; }

sockaddr_in MakeAddress(IPv4Address address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  return sa;
}

SOCKET AsSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// A new TCP socket in non-blocking mode, not inherited by started programs.
SOCKET NewTcpSocket() {
  win32::EnsureWinsock();
  SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
  if (s == INVALID_SOCKET) return s;
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    const int error = WSAGetLastError();
    closesocket(s);
    WSASetLastError(error);
    return INVALID_SOCKET;
  }
  return s;
}

IoResult ReceiveWithFlags(SocketHandle socket, std::span<std::uint8_t> buffer, int flags) {
  if (buffer.empty()) return {IoStatus::kDone, 0, 0};
  const int length = static_cast<int>(std::min<std::size_t>(buffer.size(), 0x7FFFFFFF));
  const int n = recv(AsSocket(socket), reinterpret_cast<char*>(buffer.data()), length, flags);
  if (n > 0) return {IoStatus::kDone, static_cast<std::size_t>(n), 0};
  if (n == 0) return {IoStatus::kClosed, 0, 0};
  const int error = WSAGetLastError();
  if (error == WSAEWOULDBLOCK) return {IoStatus::kWouldBlock, 0, 0};
  // A message larger than the buffer is not an error for a stream peek.
  if (error == WSAEMSGSIZE) return {IoStatus::kDone, buffer.size(), 0};
  return Failed(error);
}

}  // namespace

bool ParseDottedIPv4(const std::string& text, IPv4Address& address) {
  // Four decimal parts, as inet_pton accepts them (inet_addr would also take
  // shortened and octal forms).
  unsigned parts[4];
  std::size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '.') return false;
      ++pos;
    }
    const std::size_t start = pos;
    unsigned value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
      value = value * 10 + static_cast<unsigned>(text[pos] - '0');
      ++pos;
    }
    if (pos == start || value > 255 || (pos - start > 1 && text[start] == '0')) return false;
    parts[i] = value;
  }
  if (pos != text.size()) return false;
  address = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
  return true;
}

bool LookupHostIPv4(const std::string& host, IPv4Address& address, int& error) {
  if (ParseDottedIPv4(host, address)) return true;
  if (host.empty()) {
    error = NameNotFoundError();
    return false;
  }
  win32::EnsureWinsock();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    error = rc != 0 ? rc : NameNotFoundError();
    return false;
  }
  address = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return true;
}

bool LookupServicePort(const std::string& service, std::uint16_t& port) {
  win32::EnsureWinsock();
  const servent* entry = getservbyname(service.c_str(), "tcp");
  if (entry == nullptr) return false;
  port = ntohs(static_cast<std::uint16_t>(entry->s_port));
  return true;
}

int NameNotFoundError() { return WSAHOST_NOT_FOUND; }

SocketHandle ListenTcp(const std::string& bindAddress, std::uint16_t port, int& error) {
  IPv4Address address = INADDR_ANY;
  if (!bindAddress.empty() && !ParseDottedIPv4(bindAddress, address)) {
    error = WSAEINVAL;
    return kInvalidSocket;
  }
  const SOCKET s = NewTcpSocket();
  if (s == INVALID_SOCKET) {
    error = WSAGetLastError();
    return kInvalidSocket;
  }
  // Windows lets a listener bind beside connections lingering in TIME_WAIT by
  // default; SO_REUSEADDR would let another program take the port away.
  const sockaddr_in sa = MakeAddress(address, port);
  if (bind(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 || listen(s, SOMAXCONN) != 0) {
    error = WSAGetLastError();
    closesocket(s);
    return kInvalidSocket;
  }
  return static_cast<SocketHandle>(s);
}

std::uint16_t LocalPort(SocketHandle socket) {
  sockaddr_in sa{};
  int length = sizeof sa;
  if (getsockname(AsSocket(socket), reinterpret_cast<sockaddr*>(&sa), &length) != 0) return 0;
  return ntohs(sa.sin_port);
}

IoResult AcceptTcp(SocketHandle listener, SocketHandle& accepted) {
  const SOCKET s = accept(AsSocket(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return {IoStatus::kWouldBlock, 0, 0};
    return Failed(error);
  }
  // An accepted socket takes the listener's non-blocking mode and any event
  // selection; set the mode explicitly all the same.
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  accepted = static_cast<SocketHandle>(s);
  return {IoStatus::kDone, 0, 0};
}

IoResult ConnectTcp(IPv4Address address, std::uint16_t port, SocketHandle& socket) {
  const SOCKET s = NewTcpSocket();
  if (s == INVALID_SOCKET) return Failed(WSAGetLastError());
  const sockaddr_in sa = MakeAddress(address, port);
  if (connect(s, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) {
    socket = static_cast<SocketHandle>(s);
    return {IoStatus::kDone, 0, 0};
  }
  const int error = WSAGetLastError();
  if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS) {
    socket = static_cast<SocketHandle>(s);
    return {IoStatus::kWouldBlock, 0, 0};
  }
  closesocket(s);
  return Failed(error);
}

int TakeSocketError(SocketHandle socket) {
  int error = 0;
  int length = sizeof error;
  if (getsockopt(AsSocket(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
    return WSAGetLastError();
  }
  return error;
}

IoResult BytesAvailable(SocketHandle socket) {
  u_long available = 0;
  if (ioctlsocket(AsSocket(socket), FIONREAD, &available) != 0) return Failed(WSAGetLastError());
  return {IoStatus::kDone, static_cast<std::size_t>(available), 0};
}

IoResult Receive(SocketHandle socket, std::span<std::uint8_t> buffer) { return ReceiveWithFlags(socket, buffer, 0); }

IoResult Peek(SocketHandle socket, std::span<std::uint8_t> buffer) {
  return ReceiveWithFlags(socket, buffer, MSG_PEEK);
}

IoResult Send(SocketHandle socket, std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return {IoStatus::kDone, 0, 0};
  const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), 0x7FFFFFFF));
  const int n = send(AsSocket(socket), reinterpret_cast<const char*>(bytes.data()), length, 0);
  if (n >= 0) return {IoStatus::kDone, static_cast<std::size_t>(n), 0};
  const int error = WSAGetLastError();
  if (error == WSAEWOULDBLOCK) return {IoStatus::kWouldBlock, 0, 0};
  return Failed(error);
}

void CloseSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) closesocket(AsSocket(socket));
}

bool IsConnectionLostError(int error) {
  switch (error) {
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAETIMEDOUT:
    case WSAENOTCONN:
    case WSAENETRESET:
    case WSAESHUTDOWN:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
      return true;
    default:
      return false;
  }
}

std::string SocketErrorText(int error) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string result;
  if (length > 0 && text != nullptr) {
    std::wstring wide(text, length);
    while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ')) wide.pop_back();
    result = win32::Narrow(wide);
  }
  if (text != nullptr) LocalFree(text);
  if (result.empty()) result = "socket error " + std::to_string(error);
  return result;
}

}  // namespace zl::platform
