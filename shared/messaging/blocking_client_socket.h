// A blocking client socket: Open connects and returns only when the connect
// has succeeded or failed. The service probes the control panel's port with
// it before starting its asynchronous session (a refused connect on loopback
// is answered at once; an unanswered one gives up after ConnectTimeoutMs).
#pragma once

#include <string>

#include "zl/platform/poller.h"

namespace zl {

class BlockingClientSocket {
 public:
  BlockingClientSocket() = default;
  ~BlockingClientSocket() { Close(); }
  BlockingClientSocket(const BlockingClientSocket&) = delete;
  BlockingClientSocket& operator=(const BlockingClientSocket&) = delete;

  std::string Host;  // a name or dotted address
  int Port = 0;
  int ConnectTimeoutMs = 20000;

  // True when connected; false (and not open) when the host is unknown or
  // the connect failed or timed out. Nothing when open already.
  bool Open();
  bool Active() const { return socket_ != platform::kInvalidSocket; }
  void Close();

 private:
  platform::SocketHandle socket_ = platform::kInvalidSocket;
};

}  // namespace zl
