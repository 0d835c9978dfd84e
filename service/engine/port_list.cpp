#include "service/engine/port_list.h"

#include <cstddef>

namespace zl::engine {
namespace {

bool IsBlank(char c) { return c != '\0' && static_cast<unsigned char>(c) <= ' '; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted item starting at the quote; moves `pos` past the closing
// quote, or to the end when the item is not closed.
std::string ReadQuotedItem(std::string_view value, std::size_t& pos) {
  constexpr char kQuote = '"';
  std::string item;
  ++pos;
  while (pos < value.size()) {
    if (value[pos] == kQuote) {
      if (pos + 1 < value.size() && value[pos + 1] == kQuote) {
        item += kQuote;
        pos += 2;
        continue;
      }
      ++pos;
      return item;
    }
    item += value[pos++];
  }
  return item;
}

}  // namespace

std::vector<std::string> SplitPortListItems(std::string_view value) {
  constexpr char kDelimiter = ';';
  std::vector<std::string> items;
  std::size_t pos = 0;
  const std::size_t end = value.size();
  while (pos < end && IsBlank(value[pos])) ++pos;
  while (pos < end) {
    if (value[pos] == '"') {
      items.push_back(ReadQuotedItem(value, pos));
    } else {
      const std::size_t start = pos;
      while (pos < end && !IsBlank(value[pos]) && value[pos] != kDelimiter) ++pos;
      items.emplace_back(value.substr(start, pos - start));
    }
    while (pos < end && IsBlank(value[pos])) ++pos;
    if (pos < end && value[pos] == kDelimiter) {
      if (pos + 1 == end) items.emplace_back();
      do {
        ++pos;
      } while (pos < end && IsBlank(value[pos]));
    }
  }
  return items;
}

std::optional<std::int32_t> ReadInteger32(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;
  // Hexadecimal covers the full 32-bit pattern; decimal the signed range.
  const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  const std::uint64_t base = hex ? 16 : 10;
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * base + static_cast<std::uint64_t>(digit);
    if (magnitude > limit) return std::nullopt;
  }
  auto bits = static_cast<std::uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  return static_cast<std::int32_t>(bits);
}

void ParsePortList(std::string_view value, PortList& target) {
  target.clear();
  for (const std::string& raw : SplitPortListItems(value)) {
    const std::string_view item = TrimBlanks(raw);
    PortEntry entry;
    if (const auto number = ReadInteger32(item)) {
      entry.isPort = true;
      entry.port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(*number) & 0xFFFFu);
    } else {
      entry.text = std::string(item);
    }
    target.push_back(std::move(entry));
  }
}

bool PortListContains(const PortList& list, std::uint16_t port) noexcept {
  for (const PortEntry& entry : list) {
    if (entry.isPort && entry.port == port) return true;
  }
  return false;
}

}  // namespace zl::engine
