#include "shared/messaging/blocking_client_socket.h"

#include "zl/platform/tcp_socket.h"

namespace zl {

using platform::IoStatus;

bool BlockingClientSocket::Open() {
  if (Active()) return true;
  platform::IPv4Address address = 0;
  int lookupError = 0;
  if (!platform::LookupHostIPv4(Host, address, lookupError) || Port <= 0 || Port > 65535) return false;
  platform::SocketHandle socket = platform::kInvalidSocket;
  const platform::IoResult started = platform::ConnectTcp(address, static_cast<std::uint16_t>(Port), socket);
  if (started.status == IoStatus::kFailed) return false;
  if (started.status == IoStatus::kWouldBlock) {
    // The connect ends (either way) when the socket becomes writable.
    platform::Poller poller;
    platform::PollEntry entry{socket, false, true, 0};
    if (poller.Wait({&entry, 1}, ConnectTimeoutMs) != 1 || platform::TakeSocketError(socket) != 0) {
      platform::CloseSocket(socket);
      return false;
    }
  }
  socket_ = socket;
  return true;
}

void BlockingClientSocket::Close() {
  if (!Active()) return;
  platform::CloseSocket(socket_);
  socket_ = platform::kInvalidSocket;
}

}  // namespace zl
