#include "shared/messaging/write_queue.h"

#include <algorithm>

namespace zl {

bool WriteQueue::Add(TMemoryStream frame) {
  const std::size_t size = frame.Size();
  if (!frames_.empty() && pendingBytes_ + size > maxPendingBytes_) return false;
  if (size == 0) return true;
  frame.SetPosition(0);
  pendingBytes_ += size;
  frames_.push_back(std::move(frame));
  return true;
}

platform::IoResult WriteQueue::Flush(const SendFunction& send) {
  while (!frames_.empty()) {
    TMemoryStream& front = frames_.front();
    const std::span<const std::uint8_t> rest = front.Bytes().subspan(front.Position());
    const platform::IoResult result = send(rest);
    if (result.status == platform::IoStatus::kFailed) return result;
    if (result.status != platform::IoStatus::kDone || result.count == 0) return {platform::IoStatus::kWouldBlock, 0, 0};
    const std::size_t sent = std::min(result.count, rest.size());
    front.SetPosition(front.Position() + sent);
    pendingBytes_ -= sent;
    if (front.Position() >= front.Size()) frames_.pop_front();
  }
  return {platform::IoStatus::kDone, 0, 0};
}

void WriteQueue::Clear() {
  frames_.clear();
  pendingBytes_ = 0;
}

}  // namespace zl
