// The inner socket of the client component: connects asynchronously to a
// server and relays the connection's notifications (connected, readable,
// closed, error) to its owner on the loop thread. One connection at a time.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "shared/messaging/socket_connection.h"
#include "shared/messaging/socket_types.h"
#include "shared/support/event_loop.h"

namespace zl {

class ConnectingSocket final : private ConnectionObserver {
 public:
  using ConnectionEvent = std::function<void(SocketConnection& connection)>;
  // `connection` is null for a lookup or connect error (no connection yet).
  using ErrorEvent = std::function<void(SocketConnection* connection, TErrorEvent kind, int& errorCode)>;

  explicit ConnectingSocket(EventLoop& loop);
  // Closes the connection or abandons the attempt, without notifications.
  ~ConnectingSocket();
  ConnectingSocket(const ConnectingSocket&) = delete;
  ConnectingSocket& operator=(const ConnectingSocket&) = delete;

  std::string Address;  // dotted IPv4 address, used when Host is empty
  std::string Host;     // host name or dotted address
  int Port = 0;
  std::string Service;  // when set, names the port instead of Port

  ConnectionEvent OnConnect;
  ConnectionEvent OnRead;
  ConnectionEvent OnDisconnect;
  ErrorEvent OnError;

  // Connected: from the connected notification until the closed one.
  bool Active() const { return connection_ && connection_->Connected(); }
  bool Connecting() const { return pending_ != platform::kInvalidSocket; }

  // Starts connecting unless connected or already connecting. A failed
  // lookup is notified as eeLookup, a failed connect as eeConnect.
  void Open();
  // Closes the connection (raising the closed notification) or abandons an
  // attempt under way (silently).
  void Close();

 private:
  void ConnectFinished();
  void AdoptConnection(platform::SocketHandle socket);
  void AbandonAttempt();
  void Fail(TErrorEvent kind, int errorCode);
  void ConnectionReadable(SocketConnection& connection) override;
  void ConnectionClosed(SocketConnection& connection) override;
  void ConnectionError(SocketConnection& connection, TErrorEvent kind, int& errorCode) override;

  EventLoop& loop_;
  platform::SocketHandle pending_ = platform::kInvalidSocket;
  EventLoop::WatchId pendingWatch_ = 0;
  std::shared_ptr<SocketConnection> connection_;
};

}  // namespace zl
