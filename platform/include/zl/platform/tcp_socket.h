// Non-blocking IPv4 TCP sockets: the calls the framed connection components
// make on the platform's socket layer. Every socket created here is
// non-blocking; readiness is learnt from the event loop's Poller. Error codes
// are the platform's own numbers (errno values on Linux, WSA codes on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "zl/platform/poller.h"

namespace zl::platform {

enum class IoStatus {
  kDone,        // the call did (part of) its work; `count` says how much
  kWouldBlock,  // nothing can be done now; wait for readiness
  kClosed,      // the peer closed the connection in order (receive only)
  kFailed,      // the call failed with `error`
};

struct IoResult {
  IoStatus status = IoStatus::kDone;
  std::size_t count = 0;
  int error = 0;
};

// An IPv4 address in host byte order.
using IPv4Address = std::uint32_t;

// Host name or dotted address to an IPv4 address; false with `error` set when
// the name is unknown.
bool LookupHostIPv4(const std::string& host, IPv4Address& address, int& error);
// A dotted address ("127.0.0.1") only; no name lookup.
bool ParseDottedIPv4(const std::string& text, IPv4Address& address);
// A TCP service name ("http") to its port; false when unknown.
bool LookupServicePort(const std::string& service, std::uint16_t& port);
// The error code that stands for a host, address or service that cannot be
// resolved, where the lookup itself gave none.
int NameNotFoundError();

// Creates a listening socket on `port` (0 = any free port) of `bindAddress`,
// or of every local IPv4 address when `bindAddress` is empty. Returns
// kInvalidSocket with `error` set on failure.
SocketHandle ListenTcp(const std::string& bindAddress, std::uint16_t port, int& error);
// The local port a socket is bound to, 0 when unknown.
std::uint16_t LocalPort(SocketHandle socket);

// Takes one pending connection: kDone with `accepted` set, kWouldBlock when
// none is waiting, kFailed with an error.
IoResult AcceptTcp(SocketHandle listener, SocketHandle& accepted);

// Starts connecting: kDone when connected at once, kWouldBlock while under
// way (the socket becomes writable when it ends; TakeSocketError tells how),
// kFailed when it failed at once (the socket is then already closed).
IoResult ConnectTcp(IPv4Address address, std::uint16_t port, SocketHandle& socket);

// The socket's pending error, cleared by reading it; 0 when none.
int TakeSocketError(SocketHandle socket);

// Number of bytes that can be received without waiting.
IoResult BytesAvailable(SocketHandle socket);
IoResult Receive(SocketHandle socket, std::span<std::uint8_t> buffer);
// Looks at received bytes without taking them (tells data from an orderly close).
IoResult Peek(SocketHandle socket, std::span<std::uint8_t> buffer);
// Sends what the socket accepts now; `count` may be less than the buffer.
IoResult Send(SocketHandle socket, std::span<const std::uint8_t> bytes);

// Closes the socket; errors are not reported.
void CloseSocket(SocketHandle socket);

// Whether an error means the connection is gone (reset, aborted, timed out).
bool IsConnectionLostError(int error);
// A short description of an error code, for exception messages.
std::string SocketErrorText(int error);

}  // namespace zl::platform
