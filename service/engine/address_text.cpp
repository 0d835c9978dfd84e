#include "service/engine/address_text.h"

#include <cstddef>

namespace zl::engine {

std::string_view FormatIPv4Address(const std::uint8_t* address, IPv4Text& text) noexcept {
  std::size_t length = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text[length++] = '.';
    const unsigned value = address[i];
    if (value >= 100) text[length++] = static_cast<char>('0' + value / 100);
    if (value >= 10) text[length++] = static_cast<char>('0' + value / 10 % 10);
    text[length++] = static_cast<char>('0' + value % 10);
  }
  return {text, length};
}

std::string_view FormatMacAddress(const std::uint8_t* address, MacText& text) noexcept {
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  for (int i = 0; i < 6; ++i) {
    char* group = text + i * 3;
    group[0] = kHexDigits[address[i] >> 4];
    group[1] = kHexDigits[address[i] & 0x0F];
    if (i < 5) group[2] = '-';
  }
  return {text, sizeof(MacText)};
}

}  // namespace zl::engine
