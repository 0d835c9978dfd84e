#include "shared/messaging/connecting_socket.h"

#include "zl/platform/tcp_socket.h"

namespace zl {

using platform::IoStatus;

ConnectingSocket::ConnectingSocket(EventLoop& loop) : loop_(loop) {}

ConnectingSocket::~ConnectingSocket() {
  AbandonAttempt();
  if (connection_) {
    connection_->Detach();
    connection_->Close();
  }
}

void ConnectingSocket::Fail(TErrorEvent kind, int errorCode) {
  if (OnError) OnError(nullptr, kind, errorCode);
  if (errorCode != 0) throw SocketError(kind, errorCode, "connect failed: " + platform::SocketErrorText(errorCode));
}

void ConnectingSocket::Open() {
  if (Active() || Connecting()) return;

  platform::IPv4Address address = 0;
  int lookupError = 0;
  const bool found = Host.empty() ? platform::ParseDottedIPv4(Address, address)
                                  : platform::LookupHostIPv4(Host, address, lookupError);
  std::uint16_t port = 0;
  bool portKnown = true;
  if (!Service.empty()) {
    portKnown = platform::LookupServicePort(Service, port);
  } else if (Port <= 0 || Port > 65535) {
    portKnown = false;
  } else {
    port = static_cast<std::uint16_t>(Port);
  }
  if (!found || !portKnown) {
    return Fail(eeLookup, lookupError != 0 ? lookupError : platform::NameNotFoundError());
  }

  platform::SocketHandle socket = platform::kInvalidSocket;
  const platform::IoResult result = platform::ConnectTcp(address, port, socket);
  if (result.status == IoStatus::kFailed) return Fail(eeConnect, result.error);
  pending_ = socket;
  // Connected or refused, the socket becomes writable; even a connect that
  // succeeded at once is announced from the loop, as it is on Windows.
  pendingWatch_ = loop_.WatchSocket(socket, false, true, [this](unsigned) { ConnectFinished(); });
}

void ConnectingSocket::AbandonAttempt() {
  if (!Connecting()) return;
  loop_.RemoveWatch(pendingWatch_);
  platform::CloseSocket(pending_);
  pending_ = platform::kInvalidSocket;
}

void ConnectingSocket::ConnectFinished() {
  const platform::SocketHandle socket = pending_;
  const int error = platform::TakeSocketError(socket);
  loop_.RemoveWatch(pendingWatch_);
  pending_ = platform::kInvalidSocket;
  if (error != 0) {
    platform::CloseSocket(socket);
    return Fail(eeConnect, error);
  }
  AdoptConnection(socket);
}

void ConnectingSocket::AdoptConnection(platform::SocketHandle socket) {
  connection_ = SocketConnection::Adopt(loop_, socket, this);
  auto keepAlive = connection_;
  if (OnConnect) OnConnect(*keepAlive);
}

void ConnectingSocket::Close() {
  AbandonAttempt();
  if (connection_) {
    auto connection = connection_;
    connection->Close();
  }
}

void ConnectingSocket::ConnectionReadable(SocketConnection& connection) {
  if (OnRead) OnRead(connection);
}

void ConnectingSocket::ConnectionClosed(SocketConnection& connection) {
  // Keep the connection alive through the notification; it stops being the
  // current one before the owner hears of it, so a reconnect from inside the
  // handler starts afresh.
  std::shared_ptr<SocketConnection> closed = connection_;
  if (connection_.get() == &connection) connection_.reset();
  if (OnDisconnect) OnDisconnect(connection);
}

void ConnectingSocket::ConnectionError(SocketConnection& connection, TErrorEvent kind, int& errorCode) {
  if (OnError) OnError(&connection, kind, errorCode);
}

}  // namespace zl
