// Waiting for socket readiness: the one blocking primitive of the event loop.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace zl::platform {

// A socket of the platform's socket layer (a descriptor on Linux, a SOCKET on Windows).
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kInvalidSocket = -1;

// Readiness bits reported for a watched socket.
enum Readiness : unsigned {
  kReadable = 1u << 0,
  kWritable = 1u << 1,
  kHangUp = 1u << 2,  // the peer closed or the socket failed; reading tells which
};

struct PollEntry {
  SocketHandle socket = kInvalidSocket;
  bool wantRead = false;
  bool wantWrite = false;
  unsigned ready = 0;  // out: Readiness bits
};

// Blocks until one of the entries is ready, Wake() is called from any thread,
// or the timeout passes. A negative timeout waits without limit.
class Poller {
 public:
  Poller();
  ~Poller();
  Poller(const Poller&) = delete;
  Poller& operator=(const Poller&) = delete;

  // Returns the number of entries with readiness set.
  int Wait(std::span<PollEntry> entries, int timeoutMs);
  void Wake();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zl::platform
