#include "shared/messaging/socket_connection.h"

#include "zl/platform/tcp_socket.h"

namespace zl {

using platform::IoResult;
using platform::IoStatus;

std::shared_ptr<SocketConnection> SocketConnection::Adopt(EventLoop& loop, platform::SocketHandle socket,
                                                          ConnectionObserver* observer,
                                                          std::size_t maxPendingWriteBytes) {
  std::shared_ptr<SocketConnection> connection(new SocketConnection(loop, socket, observer, maxPendingWriteBytes));
  std::weak_ptr<SocketConnection> weak = connection;
  connection->watch_ = loop.WatchSocket(socket, true, false, [weak](unsigned readiness) {
    // Holding the connection keeps it alive while its owner reacts.
    if (auto self = weak.lock()) self->OnReady(readiness);
  });
  return connection;
}

SocketConnection::SocketConnection(EventLoop& loop, platform::SocketHandle socket, ConnectionObserver* observer,
                                   std::size_t maxPendingWriteBytes)
    : loop_(loop), socket_(socket), observer_(observer), writer_(maxPendingWriteBytes) {}

SocketConnection::~SocketConnection() { ReleaseSocket(); }

void SocketConnection::ReleaseSocket() {
  if (socket_ == platform::kInvalidSocket) return;
  loop_.RemoveWatch(watch_);
  platform::CloseSocket(socket_);
  socket_ = platform::kInvalidSocket;
  writer_.Clear();
}

void SocketConnection::Close() {
  if (!Connected()) return;
  ReleaseSocket();
  if (observer_) observer_->ConnectionClosed(*this);
}

void SocketConnection::UpdateWatch() {
  if (Connected()) loop_.ChangeWatch(watch_, readArmed_, !writer_.Empty() && !writeFailing_);
}

int SocketConnection::NotifyError(TErrorEvent kind, int errorCode) {
  if (observer_) observer_->ConnectionError(*this, kind, errorCode);
  return errorCode;
}

void SocketConnection::CloseAfterError(TErrorEvent kind, int errorCode) {
  const int left = NotifyError(kind, errorCode);
  Close();
  if (left != 0) throw SocketError(kind, left, "socket error: " + platform::SocketErrorText(left));
}

void SocketConnection::OnReady(unsigned readiness) {
  auto keepAlive = shared_from_this();
  if (!writer_.Empty() && (readiness & (platform::kWritable | platform::kHangUp))) FlushWrites(false);
  if (Connected() && (readiness & (platform::kReadable | platform::kHangUp))) CheckReadable(readiness);
}

void SocketConnection::CheckReadable(unsigned readiness) {
  const IoResult available = platform::BytesAvailable(socket_);
  if (available.status == IoStatus::kFailed) return ReadFailed(available.error);
  if (available.count > 0) return AnnounceReadable();

  // Nothing to read: either the peer closed, the connection failed, or the
  // readiness was spurious.
  std::uint8_t probe;
  const IoResult peeked = platform::Peek(socket_, {&probe, 1});
  switch (peeked.status) {
    case IoStatus::kDone:
      return AnnounceReadable();
    case IoStatus::kClosed:
      return Close();
    case IoStatus::kFailed:
      return ReadFailed(peeked.error);
    case IoStatus::kWouldBlock:
      if (readiness & platform::kHangUp) {
        const int error = platform::TakeSocketError(socket_);
        if (error != 0) return ReadFailed(error);
        return Close();
      }
      return;
  }
}

void SocketConnection::AnnounceReadable() {
  readArmed_ = false;
  UpdateWatch();
  if (observer_) observer_->ConnectionReadable(*this);
}

void SocketConnection::ReadFailed(int errorCode) {
  if (platform::IsConnectionLostError(errorCode)) {
    // The connection is gone: after the owner has heard of it, close it so
    // it does not linger as a dead socket.
    CloseAfterError(eeDisconnect, errorCode);
    return;
  }
  const int left = NotifyError(eeReceive, errorCode);
  if (left != 0) throw SocketError(eeReceive, left, "socket error: " + platform::SocketErrorText(left));
}

std::size_t SocketConnection::ReceiveLength() {
  if (!Connected()) return 0;
  readArmed_ = true;
  UpdateWatch();
  const IoResult available = platform::BytesAvailable(socket_);
  if (available.status == IoStatus::kFailed) {
    ReadFailed(available.error);
    return 0;
  }
  return available.count;
}

std::size_t SocketConnection::Receive(std::span<std::uint8_t> buffer) {
  if (!Connected() || buffer.empty()) return 0;
  readArmed_ = true;
  UpdateWatch();
  const IoResult received = platform::Receive(socket_, buffer);
  if (received.status == IoStatus::kDone) return received.count;
  if (received.status == IoStatus::kFailed) ReadFailed(received.error);
  // An orderly close is announced by the readiness check once all is read.
  return 0;
}

void SocketConnection::SendFrame(TMemoryStream frame) {
  if (!Connected() || writeFailing_) return;
  const bool wasIdle = writer_.Empty();
  if (!writer_.Add(std::move(frame))) {
    // The peer has left the bound unread: rather than lose this frame
    // silently, end the connection.
    writeFailing_ = true;
    writer_.Clear();
    std::weak_ptr<SocketConnection> weak = weak_from_this();
    loop_.Post([weak] {
      if (auto self = weak.lock()) self->FailWrite(0);
    });
    UpdateWatch();
    return;
  }
  if (wasIdle) FlushWrites(true);
}

void SocketConnection::FlushWrites(bool deferFailure) {
  const IoResult result = writer_.Flush([this](std::span<const std::uint8_t> bytes) {
    return platform::Send(socket_, bytes);
  });
  if (result.status != IoStatus::kFailed) {
    UpdateWatch();
    return;
  }
  writer_.Clear();
  if (!deferFailure) {
    FailWrite(result.error);
    return;
  }
  // Called from SendFrame: the program may be walking its connections, so the
  // connection closes from the event loop instead of under its feet.
  writeFailing_ = true;
  UpdateWatch();
  std::weak_ptr<SocketConnection> weak = weak_from_this();
  const int error = result.error;
  loop_.Post([weak, error] {
    if (auto self = weak.lock()) self->FailWrite(error);
  });
}

void SocketConnection::FailWrite(int errorCode) {
  if (!Connected()) return;
  if (errorCode == 0) {
    Close();
    return;
  }
  CloseAfterError(eeSend, errorCode);
}

}  // namespace zl
