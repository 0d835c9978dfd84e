// What every fuzz target shares: a property check that stops the run the way
// a sanitizer finding does (so libFuzzer saves the input and the replay test
// fails), and a reader that takes typed values off the front of an input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

namespace zl::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
  std::abort();
}

#define ZL_FUZZ_CHECK(condition) \
  do {                           \
    if (!(condition)) ::zl::fuzz::Fail(__FILE__, __LINE__, #condition); \
  } while (false)

// Takes values off the front of the input; past the end every value reads as 0
// and every span as empty, so a short input is simply a plain case.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t Remaining() const { return size_ - position_; }
  bool Empty() const { return position_ == size_; }

  template <typename T>
  T Take() {
    T value{};
    const std::size_t count = sizeof(T) < Remaining() ? sizeof(T) : Remaining();
    std::memcpy(&value, data_ + position_, count);
    position_ += count;
    return value;
  }
  std::uint8_t Byte() { return Take<std::uint8_t>(); }

  std::span<const std::uint8_t> Bytes(std::size_t count) {
    if (count > Remaining()) count = Remaining();
    const std::span<const std::uint8_t> bytes(data_ + position_, count);
    position_ += count;
    return bytes;
  }
  std::span<const std::uint8_t> Rest() { return Bytes(Remaining()); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

inline std::string_view AsText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace zl::fuzz
