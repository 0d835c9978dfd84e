#include "shared/messaging/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace zl {

void TMemoryStream::SetSize(std::size_t size) {
  bytes_.resize(size);
  position_ = std::min(position_, size);
}

void TMemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= bytes_.size()) return 0;
  const std::size_t n = std::min(count, bytes_.size() - position_);
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return;
  if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
  std::memcpy(bytes_.data() + position_, buffer, count);
  position_ += count;
}

}  // namespace zl
