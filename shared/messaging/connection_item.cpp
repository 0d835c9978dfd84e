#include "shared/messaging/connection_item.h"

#include <algorithm>
#include <cstring>

#include "shared/messaging/frame_format.h"

namespace zl {

void TrkConnectionItem::SetSocket(std::shared_ptr<SocketConnection> socket) {
  if (socket == socket_) return;
  socket_ = std::move(socket);
  ResetReceive();
}

void TrkConnectionItem::ResetReceive() {
  expectedLength_ = 0;
  receiveBuffer_.Clear();
  receiveStart_ = 0;
}

void TrkConnectionItem::CloseSocket() {
  if (!socket_) return;
  // Closing raises the closed notification, whose reaction may let go of the
  // connection and of this item (a server releases the item of a closed
  // connection); hold both until this is done.
  const std::shared_ptr<TrkConnectionItem> keepAlive = weak_from_this().lock();
  std::shared_ptr<SocketConnection> socket = socket_;
  try {
    socket->Close();
  } catch (...) {
    // A failure while closing changes nothing for the item.
  }
  socket_.reset();
}

void TrkConnectionItem::Send(const TMemoryStream& payload) {
  if (!IsConnected()) return;
  try {
    socket_->SendFrame(BuildFrame(payload));
  } catch (...) {
    // Sending is best effort: a failure is not the caller's concern.
  }
}

void TrkConnectionItem::HandleRead() {
  if (reading_) {
    readPending_ = true;
    return;
  }
  // A handler may make the owner let go of this item (its connection closes
  // while the handler pumps the loop); it stays alive until the read is done.
  const std::shared_ptr<TrkConnectionItem> keepAlive = weak_from_this().lock();
  do {
    readPending_ = false;
    reading_ = true;
    struct ReadingGuard {
      bool& reading;
      ~ReadingGuard() { reading = false; }
    } guard{reading_};

    TMemoryStream chunk;
    if (const std::shared_ptr<SocketConnection> socket = socket_) {
      chunk.SetSize(socket->ReceiveLength());
      chunk.SetSize(socket->Receive(chunk.Bytes()));
    }
    AssembleFrames(chunk);
  } while (readPending_);
}

void TrkConnectionItem::AssembleFrames(const TMemoryStream& chunk) {
  try {
    receiveBuffer_.SetPosition(receiveBuffer_.Size());
    receiveBuffer_.Write(chunk.Bytes());
    AssembleBuffered();
  } catch (...) {
    // Whatever went wrong (an error escaping a handler included), the
    // buffered bytes can no longer be trusted to start a frame.
    ResetReceive();
  }
  CompactReceiveBuffer();
}

void TrkConnectionItem::AssembleBuffered() {
  for (;;) {
    // Re-taken every round: a handler may have reset or extended the buffer.
    const std::span<const std::uint8_t> pending = receiveBuffer_.Bytes().subspan(receiveStart_);
    if (expectedLength_ == 0 && pending.size() >= kFrameHeaderSize) {
      if (!StartsWithFrameMarker(pending)) {
        // No resynchronisation: everything buffered goes, and the next bytes
        // to arrive are taken as the start of a frame.
        ResetReceive();
        return;
      }
      const std::int64_t length = ReadPayloadLength(pending);
      if (length < 0 || length > kMaxFramePayloadLength) {
        ResetReceive();
        return;
      }
      expectedLength_ = length;
    }
    const auto frameSize = kFrameHeaderSize + static_cast<std::size_t>(expectedLength_);
    if (pending.size() < frameSize) return;

    TMemoryStream payload(pending.subspan(kFrameHeaderSize, static_cast<std::size_t>(expectedLength_)));
    receiveStart_ += frameSize;
    expectedLength_ = 0;
    if (ReadComplete) ReadComplete(this, *this, payload);
  }
}

void TrkConnectionItem::CompactReceiveBuffer() {
  if (receiveStart_ == 0) return;
  const std::size_t rest = receiveBuffer_.Size() - receiveStart_;
  if (rest > 0) {
    std::uint8_t* bytes = receiveBuffer_.Bytes().data();
    std::memmove(bytes, bytes + receiveStart_, rest);
  }
  receiveBuffer_.SetSize(rest);
  receiveStart_ = 0;
}

void TrkConnectionItem::HandleError(TErrorEvent kind) {
  switch (kind) {
    case eeReceive:
      ResetReceive();
      break;
    case eeDisconnect: {
      const std::shared_ptr<TrkConnectionItem> keepAlive = weak_from_this().lock();
      CloseSocket();
      ResetReceive();
      break;
    }
    default:
      break;
  }
}

TrkConnectionItem& TrkConnectionItems::AddConnection() {
  items_.push_back(std::make_shared<TrkConnectionItem>());
  return *items_.back();
}

std::shared_ptr<TrkConnectionItem> TrkConnectionItems::FindBySocket(const SocketConnection* socket) const {
  if (socket == nullptr) return nullptr;
  auto it = std::find_if(items_.begin(), items_.end(),
                         [&](const auto& item) { return item->Socket().get() == socket; });
  return it == items_.end() ? nullptr : *it;
}

int TrkConnectionItems::IndexOf(const TrkConnectionItem* item) const {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& entry) { return entry.get() == item; });
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TrkConnectionItems::Delete(std::size_t index) {
  if (index < items_.size()) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace zl
