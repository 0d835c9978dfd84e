// Address texts built into caller-owned buffers, so judging a frame never
// allocates.
#pragma once

#include <cstdint>
#include <string_view>

namespace zl::engine {

// "255.255.255.255" is the longest dotted-decimal text.
using IPv4Text = char[16];
// "AA-BB-CC-DD-EE-FF".
using MacText = char[17];

// Four bytes in network order as dotted decimal, like inet_ntoa.
std::string_view FormatIPv4Address(const std::uint8_t* address, IPv4Text& text) noexcept;

// Six bytes as six two-digit upper-case hexadecimal groups joined by "-".
std::string_view FormatMacAddress(const std::uint8_t* address, MacText& text) noexcept;

}  // namespace zl::engine
