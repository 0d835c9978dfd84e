#include "shared/messaging/server_socket.h"

namespace zl {

TrkServerSocket::TrkServerSocket(EventLoop& loop) : listener_(loop) {
  listener_.OnAccept = [this](SocketConnection& connection) { ClientAccepted(connection); };
  listener_.OnRead = [this](SocketConnection& connection) { ClientReadable(connection); };
  listener_.OnDisconnect = [this](SocketConnection& connection) { ClientClosed(connection); };
  listener_.OnError = [this](SocketConnection* connection, TErrorEvent kind, int& errorCode) {
    ClientError(connection, kind, errorCode);
  };
}

TrkServerSocket::~TrkServerSocket() {
  // Connections close silently; their items go with the list.
  listener_.Close();
  connections_.Clear();
}

void TrkServerSocket::SetActive(bool active) {
  if (loading_) {
    streamedActive_ = active;
    if (active) return;
  }
  ApplyActive(active);
}

void TrkServerSocket::EndLoading() {
  if (!loading_) return;
  loading_ = false;
  ApplyActive(streamedActive_);
}

void TrkServerSocket::ApplyActive(bool active) {
  if (active) {
    if (listener_.Active()) return;
    if (serverType_ != stNonBlocking) {
      throw SocketError(eeGeneral, 0, "only the non-blocking server type is supported");
    }
    listener_.Open();
    return;
  }
  listener_.Close();
  // Their connections are gone: the items refer to nothing any more.
  connections_.Clear();
}

void TrkServerSocket::ClientAccepted(SocketConnection& connection) {
  TrkConnectionItem& item = connections_.AddConnection();
  item.SetSocket(connection.shared_from_this());
  item.ReadComplete = [this](EventSender*, TrkConnectionItem& from, TMemoryStream& payload) {
    if (OnClientReadComplete) OnClientReadComplete(this, from, payload);
  };
  if (OnClientConnect) OnClientConnect(this, item);
}

void TrkServerSocket::ClientReadable(SocketConnection& connection) {
  if (auto item = connections_.FindBySocket(&connection)) item->HandleRead();
}

void TrkServerSocket::ClientClosed(SocketConnection& connection) {
  std::shared_ptr<TrkConnectionItem> item = connections_.FindBySocket(&connection);
  if (!item) return;
  connections_.Delete(static_cast<std::size_t>(connections_.IndexOf(item.get())));
  if (OnClientDisconnect) OnClientDisconnect(this, *item);
  // `item` is released here, unless a read still in progress holds it.
}

void TrkServerSocket::ClientError(SocketConnection* connection, TErrorEvent kind, int& errorCode) {
  // The components deal with socket errors themselves; the layer raises nothing.
  errorCode = 0;
  if (auto item = connections_.FindBySocket(connection)) item->HandleError(kind);
}

}  // namespace zl
