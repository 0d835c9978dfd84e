// TrkClientSocket: the service's end of the link. It connects to the
// control panel's server and, through its single ConnectionItem (kept for the
// component's whole life and reused by every connection), raises an event per
// whole payload received.
//
// Active reads true from the connected notification until the closed one;
// it is false while a connect is under way and after a failed one. Setting
// it true starts an asynchronous connect, setting it false closes the
// connection (OnDisconnect is raised). While loading, true is only remembered
// until EndLoading; false takes effect at once.
#pragma once

#include <memory>
#include <string>

#include "shared/messaging/connecting_socket.h"
#include "shared/messaging/connection_item.h"
#include "shared/messaging/socket_types.h"
#include "shared/support/event_loop.h"

namespace zl {

class TrkClientSocket : public EventSender {
 public:
  explicit TrkClientSocket(EventLoop& loop);
  ~TrkClientSocket() override;
  TrkClientSocket(const TrkClientSocket&) = delete;
  TrkClientSocket& operator=(const TrkClientSocket&) = delete;

  // Setting it true in a blocking ClientType raises SocketError.
  bool Active() const { return connector_.Active(); }
  void SetActive(bool active);
  // A connect is under way (Active is still false).
  bool Connecting() const { return connector_.Connecting(); }
  const std::string& Address() const { return connector_.Address; }
  void SetAddress(std::string address) { connector_.Address = std::move(address); }
  TClientType ClientType() const { return clientType_; }
  void SetClientType(TClientType type) { clientType_ = type; }
  const std::string& Host() const { return connector_.Host; }
  void SetHost(std::string host) { connector_.Host = std::move(host); }
  int Port() const { return connector_.Port; }
  void SetPort(int port) { connector_.Port = port; }
  const std::string& Service() const { return connector_.Service; }
  void SetService(std::string service) { connector_.Service = std::move(service); }

  TrkSocketNotifyEvent OnConnect;
  // Raised while ConnectionItem still refers to the closed connection; the
  // item lets go of it, and of any partly received frame, afterwards.
  TrkSocketNotifyEvent OnDisconnect;
  TrkSocketReadCompleteEvent OnReadComplete;

  TrkConnectionItem& ConnectionItem() { return *item_; }

  void BeginLoading() { loading_ = true; }
  void EndLoading();
  bool Loading() const { return loading_; }

 private:
  void ApplyActive(bool active);
  void Connected(SocketConnection& connection);
  void Readable();
  void Closed();
  void Failed(TErrorEvent kind, int& errorCode);

  bool loading_ = false;
  bool streamedActive_ = false;  // Active as set while loading
  TClientType clientType_ = ctNonBlocking;
  std::shared_ptr<TrkConnectionItem> item_;
  ConnectingSocket connector_;
};

}  // namespace zl
