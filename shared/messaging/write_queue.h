// The frames a connection still has to write, in the order they were handed
// over. A frame leaves whole and before any later one; when the peer stops
// reading, frames wait here up to a byte bound instead of being dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>

#include "shared/messaging/memory_stream.h"
#include "zl/platform/tcp_socket.h"

namespace zl {

class WriteQueue {
 public:
  // Writes what it can of the bytes; the platform's Send, or a test's stand-in.
  using SendFunction = std::function<platform::IoResult(std::span<const std::uint8_t>)>;

  // Generous for the link's messages (a code byte and a few kilobytes of
  // text): only a peer that has stopped reading gets near it.
  static constexpr std::size_t kDefaultMaxPendingBytes = 4 * 1024 * 1024;

  explicit WriteQueue(std::size_t maxPendingBytes = kDefaultMaxPendingBytes) : maxPendingBytes_(maxPendingBytes) {}

  // Queues the frame (all of its bytes). Refuses it, and takes nothing, when
  // it would bring the unwritten bytes past the bound; a frame handed to an
  // empty queue is always taken.
  bool Add(TMemoryStream frame);

  // Sends queued bytes until the queue is empty (kDone), the socket takes no
  // more (kWouldBlock) or a send fails (kFailed, with the error; the bytes
  // stay queued).
  platform::IoResult Flush(const SendFunction& send);

  bool Empty() const { return frames_.empty(); }
  std::size_t PendingBytes() const { return pendingBytes_; }
  void Clear();

 private:
  std::deque<TMemoryStream> frames_;  // the front one's position marks what has left
  std::size_t pendingBytes_ = 0;
  std::size_t maxPendingBytes_;
};

}  // namespace zl
