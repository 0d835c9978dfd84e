#include "shared/messaging/listening_socket.h"

#include <algorithm>

#include "zl/platform/tcp_socket.h"

namespace zl {

using platform::IoStatus;

ListeningSocket::ListeningSocket(EventLoop& loop) : loop_(loop) {}

ListeningSocket::~ListeningSocket() { Close(); }

void ListeningSocket::Open() {
  if (Active()) return;
  std::uint16_t port = 0;
  if (!Service.empty()) {
    if (!platform::LookupServicePort(Service, port)) {
      throw SocketError(eeLookup, platform::NameNotFoundError(), "unknown service \"" + Service + "\"");
    }
  } else if (Port < 0 || Port > 65535) {
    throw SocketError(eeGeneral, 0, "port " + std::to_string(Port) + " out of range");
  } else {
    port = static_cast<std::uint16_t>(Port);
  }
  int error = 0;
  const platform::SocketHandle listener = platform::ListenTcp(BindAddress, port, error);
  if (listener == platform::kInvalidSocket) {
    throw SocketError(eeGeneral, error,
                      "cannot listen on port " + std::to_string(port) + ": " + platform::SocketErrorText(error));
  }
  listener_ = listener;
  boundPort_ = platform::LocalPort(listener);
  watch_ = loop_.WatchSocket(listener, true, false, [this](unsigned) { AcceptPending(); });
}

void ListeningSocket::Close() {
  if (Active()) {
    loop_.RemoveWatch(watch_);
    platform::CloseSocket(listener_);
    listener_ = platform::kInvalidSocket;
    boundPort_ = 0;
  }
  std::vector<std::shared_ptr<SocketConnection>> connections;
  connections.swap(connections_);
  for (const auto& connection : connections) {
    connection->Detach();
    connection->Close();
  }
}

void ListeningSocket::AcceptPending() {
  while (Active()) {
    platform::SocketHandle accepted = platform::kInvalidSocket;
    const platform::IoResult result = platform::AcceptTcp(listener_, accepted);
    if (result.status == IoStatus::kWouldBlock) return;
    if (result.status == IoStatus::kFailed) {
      int errorCode = result.error;
      if (OnError) OnError(nullptr, eeAccept, errorCode);
      if (errorCode != 0) {
        throw SocketError(eeAccept, errorCode, "accept failed: " + platform::SocketErrorText(errorCode));
      }
      return;
    }
    auto connection = SocketConnection::Adopt(loop_, accepted, this);
    connections_.push_back(connection);
    if (OnAccept) OnAccept(*connection);
  }
}

void ListeningSocket::ConnectionReadable(SocketConnection& connection) {
  if (OnRead) OnRead(connection);
}

void ListeningSocket::ConnectionClosed(SocketConnection& connection) {
  auto it = std::find_if(connections_.begin(), connections_.end(),
                         [&](const auto& open) { return open.get() == &connection; });
  if (it == connections_.end()) return;
  // Keep the connection alive through the notification even if nobody else holds it.
  std::shared_ptr<SocketConnection> closed = *it;
  connections_.erase(it);
  if (OnDisconnect) OnDisconnect(connection);
}

void ListeningSocket::ConnectionError(SocketConnection& connection, TErrorEvent kind, int& errorCode) {
  if (OnError) OnError(&connection, kind, errorCode);
}

}  // namespace zl
