#include "control_panel/language/icon_file.h"

#include <cstdint>

namespace zl {
namespace {

std::uint32_t Little(const std::string& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kEntrySize = 16;

}  // namespace

bool IsIconFile(const std::string& bytes) {
  if (bytes.size() < kHeaderSize) return false;
  if (Little(bytes, 0, 2) != 0 || Little(bytes, 2, 2) != 1) return false;
  const std::size_t count = Little(bytes, 4, 2);
  if (count == 0 || bytes.size() < kHeaderSize + count * kEntrySize) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = kHeaderSize + i * kEntrySize;
    const std::uint64_t size = Little(bytes, entry + 8, 4);
    const std::uint64_t offset = Little(bytes, entry + 12, 4);
    if (size == 0 || offset < kHeaderSize + count * kEntrySize || offset + size > bytes.size()) return false;
  }
  return true;
}

}  // namespace zl
