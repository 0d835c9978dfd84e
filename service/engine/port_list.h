// Port lists of the filter rules: the value syntax of the settings text and
// the entries it yields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zl::engine {

// A port number, or an inert text item that matches no port.
struct PortEntry {
  bool isPort = false;
  std::uint16_t port = 0;
  std::string text;  // the item as written, for an inert entry

  friend bool operator==(const PortEntry&, const PortEntry&) = default;
};

using PortList = std::vector<PortEntry>;

// Splits at ";" and at runs of spaces and control characters (codes 1..32).
// An item that begins with a double quote runs to the closing quote (a doubled
// quote inside stands for one), and the quotes are removed. A leading or
// trailing ";", and two ";" with only blanks between, give empty items.
std::vector<std::string> SplitPortListItems(std::string_view value);

// A 32-bit integer as the settings text writes one: optional sign, then
// decimal digits, or hexadecimal digits after "$", "x" or "0x". Nothing else
// may follow; decimal must fit a signed 32-bit value, hexadecimal 32 bits.
std::optional<std::int32_t> ReadInteger32(std::string_view text);

// Clears the target and fills it from the value: each item, trimmed, that
// reads as a 32-bit integer becomes its port modulo 65536 ("65616" is 80,
// "-1" is 65535); any other item stays an inert entry.
void ParsePortList(std::string_view value, PortList& target);

// True when an entry of the list is the port.
bool PortListContains(const PortList& list, std::uint16_t port) noexcept;

}  // namespace zl::engine
