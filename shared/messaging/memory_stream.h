// TMemoryStream: a growable byte buffer with a read/write position. Message
// payloads, frames and receive buffers of the connection components live in
// one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zl {

class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::span<const std::uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}

  std::size_t Size() const { return bytes_.size(); }
  std::size_t Position() const { return position_; }
  // The position may lie past the end; a later write fills the gap with zeros.
  void SetPosition(std::size_t position) { position_ = position; }
  // Shrinking moves a position past the new end back to it.
  void SetSize(std::size_t size);
  // Empties the stream and rewinds it.
  void Clear();

  // Copies up to `count` bytes from the position on and advances past them;
  // returns how many were copied (0 at or past the end).
  std::size_t Read(void* buffer, std::size_t count);
  // Writes at the position, growing the stream as needed, and advances.
  void Write(const void* buffer, std::size_t count);
  void Write(std::span<const std::uint8_t> bytes) { Write(bytes.data(), bytes.size()); }

  // Every byte of the stream, whatever the position.
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  std::span<std::uint8_t> Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace zl
