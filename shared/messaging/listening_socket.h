// The inner socket of the server component: listens on a TCP port, accepts
// connections and relays their notifications (accepted, readable, closed,
// error) to its owner on the loop thread. It owns its open connections.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shared/messaging/socket_connection.h"
#include "shared/messaging/socket_types.h"
#include "shared/support/event_loop.h"

namespace zl {

class ListeningSocket final : private ConnectionObserver {
 public:
  using ConnectionEvent = std::function<void(SocketConnection& connection)>;
  // `connection` is null for an error of the listening socket itself.
  using ErrorEvent = std::function<void(SocketConnection* connection, TErrorEvent kind, int& errorCode)>;

  explicit ListeningSocket(EventLoop& loop);
  // Closes everything without notifications.
  ~ListeningSocket();
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;

  int Port = 0;             // 0 picks a free port (see BoundPort)
  std::string Service;      // when set, names the port instead of Port
  std::string BindAddress;  // dotted IPv4 address; empty = every local IPv4 address

  ConnectionEvent OnAccept;
  ConnectionEvent OnRead;
  ConnectionEvent OnDisconnect;
  ErrorEvent OnError;

  bool Active() const { return listener_ != platform::kInvalidSocket; }
  std::uint16_t BoundPort() const { return boundPort_; }

  // Starts listening; raises SocketError when the port cannot be had.
  void Open();
  // Stops listening and closes every accepted connection, all without
  // notifications.
  void Close();

  const std::vector<std::shared_ptr<SocketConnection>>& OpenConnections() const { return connections_; }

 private:
  void AcceptPending();
  void ConnectionReadable(SocketConnection& connection) override;
  void ConnectionClosed(SocketConnection& connection) override;
  void ConnectionError(SocketConnection& connection, TErrorEvent kind, int& errorCode) override;

  EventLoop& loop_;
  platform::SocketHandle listener_ = platform::kInvalidSocket;
  EventLoop::WatchId watch_ = 0;
  std::uint16_t boundPort_ = 0;
  std::vector<std::shared_ptr<SocketConnection>> connections_;
};

}  // namespace zl
