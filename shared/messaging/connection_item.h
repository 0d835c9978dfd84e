// TrkConnectionItem: one open connection of a socket component with its
// receive buffer. It gathers the bytes received into whole frames and hands
// each complete payload to its owner's read-complete callback, and sends
// payloads framed through the connection's asynchronous writer.
//
// TrkConnectionItems: the items of a server, in the order the connections
// were made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "shared/messaging/memory_stream.h"
#include "shared/messaging/socket_connection.h"
#include "shared/messaging/socket_types.h"

namespace zl {

class TrkConnectionItem;

using TrkSocketNotifyEvent = std::function<void(EventSender* Sender, TrkConnectionItem& Connection)>;
// `Stream` holds exactly one payload, positioned at 0; it is valid only while
// the handler runs.
using TrkSocketReadCompleteEvent =
    std::function<void(EventSender* Sender, TrkConnectionItem& Connection, TMemoryStream& Stream)>;

class TrkConnectionItem : public EventSender, public std::enable_shared_from_this<TrkConnectionItem> {
 public:
  TrkConnectionItem() = default;
  TrkConnectionItem(const TrkConnectionItem&) = delete;
  TrkConnectionItem& operator=(const TrkConnectionItem&) = delete;

  // Set by the owning component; called with (the item, the item, payload).
  TrkSocketReadCompleteEvent ReadComplete;

  bool Reading() const { return reading_; }
  bool ReadPending() const { return readPending_; }
  // Payload length of the frame being assembled; 0 = no header read yet.
  std::int64_t ExpectedLength() const { return expectedLength_; }
  // Bytes received and not yet delivered (they begin with the start of a frame).
  std::size_t BufferedByteCount() const { return receiveBuffer_.Size() - receiveStart_; }
  // The connection it reads from and writes to; the item never closes it on
  // its own destruction.
  const std::shared_ptr<SocketConnection>& Socket() const { return socket_; }

  // Stores a different connection and starts receiving afresh.
  void SetSocket(std::shared_ptr<SocketConnection> socket);
  // Forgets the frame being assembled and every buffered byte.
  void ResetReceive();
  bool IsConnected() const { return socket_ && socket_->Connected(); }
  // Closes the connection (its closed notification runs now) and lets go of it.
  void CloseSocket();

  // Frames the whole payload, whatever its position, and hands it to the
  // connection's writer. Nothing happens when not connected; errors are
  // swallowed. The payload stays the caller's.
  void Send(const TMemoryStream& payload);

  // Reads what the connection holds and assembles it. A call made while a
  // read is being processed (a handler pumping the event loop) is remembered
  // and run once that read has finished, so bytes keep their order.
  void HandleRead();
  // Adds the received bytes and delivers every payload they complete, in
  // order. A bad marker, an announced length below 0 or above the bound, or an
  // error escaping a handler discards everything buffered; the connection stays.
  void AssembleFrames(const TMemoryStream& chunk);
  // eeReceive forgets the buffered bytes; eeDisconnect closes the connection
  // and forgets them; every other kind leaves the item as it is.
  void HandleError(TErrorEvent kind);

 private:
  void AssembleBuffered();
  void CompactReceiveBuffer();

  bool reading_ = false;
  bool readPending_ = false;
  // Delivered frames are skipped by receiveStart_ and compacted away once a
  // chunk is done, so a read holding many frames is not copied per frame.
  TMemoryStream receiveBuffer_;
  std::size_t receiveStart_ = 0;
  std::shared_ptr<SocketConnection> socket_;
  std::int64_t expectedLength_ = 0;
};

class TrkConnectionItems {
 public:
  std::size_t Count() const { return items_.size(); }
  TrkConnectionItem& operator[](std::size_t index) const { return *items_.at(index); }

  // Creates an item, appends it and returns it.
  TrkConnectionItem& AddConnection();
  // The first item whose Socket is that connection, or null.
  std::shared_ptr<TrkConnectionItem> FindBySocket(const SocketConnection* socket) const;
  // -1 when the item is not in the list.
  int IndexOf(const TrkConnectionItem* item) const;
  // Removes the item from the list. It is released once nobody works with it
  // any more (a read in progress or a disconnect being reported keeps it).
  void Delete(std::size_t index);
  void Clear() { items_.clear(); }

 private:
  std::vector<std::shared_ptr<TrkConnectionItem>> items_;
};

}  // namespace zl
