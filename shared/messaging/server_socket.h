// TrkServerSocket: the control panel's end of the link. It listens on a TCP
// port, keeps one TrkConnectionItem per accepted connection in Connections
// (in the order they were made) and raises an event per whole payload
// received on any of them.
//
// Active set while loading (between BeginLoading and EndLoading) is only
// remembered, except that false takes effect at once; EndLoading applies it.
// Deactivating closes the listening socket and every accepted connection
// without raising OnClientDisconnect, and releases their items.
#pragma once

#include <cstdint>
#include <string>

#include "shared/messaging/connection_item.h"
#include "shared/messaging/listening_socket.h"
#include "shared/messaging/socket_types.h"
#include "shared/support/event_loop.h"

namespace zl {

class TrkServerSocket : public EventSender {
 public:
  explicit TrkServerSocket(EventLoop& loop);
  ~TrkServerSocket() override;
  TrkServerSocket(const TrkServerSocket&) = delete;
  TrkServerSocket& operator=(const TrkServerSocket&) = delete;

  // Listening or not. Setting it true raises SocketError when the port
  // cannot be listened on (in use, unknown service, a blocking ServerType).
  bool Active() const { return listener_.Active(); }
  void SetActive(bool active);
  int Port() const { return listener_.Port; }
  void SetPort(int port) { listener_.Port = port; }
  const std::string& Service() const { return listener_.Service; }
  void SetService(std::string service) { listener_.Service = std::move(service); }
  TServerType ServerType() const { return serverType_; }
  void SetServerType(TServerType type) { serverType_ = type; }
  // Threads kept for reuse in thread-blocking mode; no effect in non-blocking mode.
  int ThreadCacheSize() const { return threadCacheSize_; }
  void SetThreadCacheSize(int size) { threadCacheSize_ = size; }
  // Empty (the default): every local IPv4 address; otherwise a dotted address.
  const std::string& BindAddress() const { return listener_.BindAddress; }
  void SetBindAddress(std::string address) { listener_.BindAddress = std::move(address); }
  // The port actually listened on (Port 0 picks a free one); 0 when inactive.
  std::uint16_t BoundPort() const { return listener_.BoundPort(); }

  TrkSocketNotifyEvent OnClientConnect;
  // Raised after the item has left Connections; the item is released after
  // the handler returns.
  TrkSocketNotifyEvent OnClientDisconnect;
  TrkSocketReadCompleteEvent OnClientReadComplete;

  TrkConnectionItems& Connections() { return connections_; }

  void BeginLoading() { loading_ = true; }
  void EndLoading();
  bool Loading() const { return loading_; }

 private:
  void ApplyActive(bool active);
  void ClientAccepted(SocketConnection& connection);
  void ClientReadable(SocketConnection& connection);
  void ClientClosed(SocketConnection& connection);
  void ClientError(SocketConnection* connection, TErrorEvent kind, int& errorCode);

  bool loading_ = false;
  bool streamedActive_ = false;  // Active as set while loading
  TServerType serverType_ = stNonBlocking;
  int threadCacheSize_ = 0;
  TrkConnectionItems connections_;
  ListeningSocket listener_;
};

}  // namespace zl
