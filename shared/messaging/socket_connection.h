// One open TCP connection of the socket layer (accepted by a listening
// socket or made by a connecting one). It turns the event loop's readiness
// into the notifications its owner handles on the loop thread: readable,
// closed and error. It also carries the connection's asynchronous writer.
//
// Readable is announced once and announced again only after the owner has
// asked for the available byte count or received (as Winsock re-enables
// FD_READ on recv), so an owner that defers a read while a handler pumps the
// loop is not flooded. An orderly close of the peer is noticed only once
// every byte before it has been read, so data always comes before closed.
//
// Connections are shared: a connection item refers to the one it uses, and
// a closed connection stays a valid, unconnected object while referred to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "shared/messaging/memory_stream.h"
#include "shared/messaging/socket_types.h"
#include "shared/messaging/write_queue.h"
#include "shared/support/event_loop.h"
#include "zl/platform/poller.h"

namespace zl {

class SocketConnection;

// The owner's side of a connection's notifications.
class ConnectionObserver {
 public:
  virtual void ConnectionReadable(SocketConnection& connection) = 0;
  virtual void ConnectionClosed(SocketConnection& connection) = 0;
  // The handler may set errorCode to 0; otherwise the layer raises SocketError.
  virtual void ConnectionError(SocketConnection& connection, TErrorEvent kind, int& errorCode) = 0;

 protected:
  ~ConnectionObserver() = default;
};

class SocketConnection : public std::enable_shared_from_this<SocketConnection> {
 public:
  // Takes over a connected non-blocking socket.
  static std::shared_ptr<SocketConnection> Adopt(EventLoop& loop, platform::SocketHandle socket,
                                                 ConnectionObserver* observer,
                                                 std::size_t maxPendingWriteBytes = WriteQueue::kDefaultMaxPendingBytes);
  ~SocketConnection();
  SocketConnection(const SocketConnection&) = delete;
  SocketConnection& operator=(const SocketConnection&) = delete;

  bool Connected() const { return socket_ != platform::kInvalidSocket; }

  // Bytes that can be received now; 0 on a closed connection or an error
  // (which is notified).
  std::size_t ReceiveLength();
  // Receives up to buffer.size() bytes; returns how many arrived.
  std::size_t Receive(std::span<std::uint8_t> buffer);

  // The asynchronous writer: takes the frame, writes what the socket accepts
  // now and the rest as it becomes writable, after every frame handed over
  // earlier. A write error other than a full socket, or a peer that leaves
  // more than the bound unread, closes the connection (from the event loop,
  // never inside this call). Ignored on a closed or closing connection.
  void SendFrame(TMemoryStream frame);
  std::size_t PendingWriteBytes() const { return writer_.PendingBytes(); }

  // Closes the connection and raises the closed notification once. Unsent
  // frames are dropped.
  void Close();
  // Switches the notifications off; a later Close is silent.
  void Detach() { observer_ = nullptr; }

 private:
  SocketConnection(EventLoop& loop, platform::SocketHandle socket, ConnectionObserver* observer,
                   std::size_t maxPendingWriteBytes);

  void OnReady(unsigned readiness);
  void CheckReadable(unsigned readiness);
  void AnnounceReadable();
  void FlushWrites(bool deferFailure);
  void FailWrite(int errorCode);
  void ReadFailed(int errorCode);
  void UpdateWatch();
  // Notifies the error; returns the code the handler left.
  int NotifyError(TErrorEvent kind, int errorCode);
  // Closes, then raises SocketError if the handler left the code set.
  void CloseAfterError(TErrorEvent kind, int errorCode);
  void ReleaseSocket();

  EventLoop& loop_;
  platform::SocketHandle socket_;
  ConnectionObserver* observer_;
  EventLoop::WatchId watch_ = 0;
  bool readArmed_ = true;
  bool writeFailing_ = false;  // a write failure is waiting to close the connection
  WriteQueue writer_;
};

}  // namespace zl
