#include "shared/messaging/client_socket.h"

namespace zl {

TrkClientSocket::TrkClientSocket(EventLoop& loop)
    : item_(std::make_shared<TrkConnectionItem>()), connector_(loop) {
  connector_.OnConnect = [this](SocketConnection& connection) { Connected(connection); };
  connector_.OnDisconnect = [this](SocketConnection&) { Closed(); };
  connector_.OnRead = [this](SocketConnection&) { Readable(); };
  connector_.OnError = [this](SocketConnection*, TErrorEvent kind, int& errorCode) { Failed(kind, errorCode); };
  item_->ReadComplete = [this](EventSender*, TrkConnectionItem& from, TMemoryStream& payload) {
    if (OnReadComplete) OnReadComplete(this, from, payload);
  };
}

TrkClientSocket::~TrkClientSocket() {
  // The connector closes its connection silently. Should a read still hold
  // the item, it must not call back into this destroyed component.
  item_->ReadComplete = nullptr;
}

void TrkClientSocket::SetActive(bool active) {
  if (loading_) {
    streamedActive_ = active;
    if (active) return;
  }
  ApplyActive(active);
}

void TrkClientSocket::EndLoading() {
  if (!loading_) return;
  loading_ = false;
  ApplyActive(streamedActive_);
}

void TrkClientSocket::ApplyActive(bool active) {
  if (!active) {
    connector_.Close();
    return;
  }
  if (clientType_ != ctNonBlocking) {
    throw SocketError(eeGeneral, 0, "only the non-blocking client type is supported");
  }
  connector_.Open();
}

void TrkClientSocket::Connected(SocketConnection& connection) {
  item_->SetSocket(connection.shared_from_this());
  if (OnConnect) OnConnect(this, *item_);
}

void TrkClientSocket::Readable() { item_->HandleRead(); }

void TrkClientSocket::Closed() {
  // The item may be in the middle of a read whose handler pumped the loop.
  std::shared_ptr<TrkConnectionItem> item = item_;
  if (OnDisconnect) OnDisconnect(this, *item);
  item->SetSocket(nullptr);
}

void TrkClientSocket::Failed(TErrorEvent kind, int& errorCode) {
  errorCode = 0;
  item_->HandleError(kind);
}

}  // namespace zl
