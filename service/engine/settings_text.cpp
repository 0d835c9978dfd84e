#include "service/engine/settings_text.h"

#include <cstddef>

namespace zl::engine {
namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Sign, digits with an optional fraction, an optional exponent: the forms a
// numeric boolean may take. Returns whether the text is one, and its zeroness.
bool ReadNumber(std::string_view text, bool& isZero) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool anyDigit = false;
  isZero = true;
  auto digits = [&] {
    while (i < text.size() && IsDigit(text[i])) {
      anyDigit = true;
      if (text[i] != '0') isZero = false;
      ++i;
    }
  };
  digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    digits();
  }
  if (!anyDigit) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i == text.size() || !IsDigit(text[i])) return false;
    while (i < text.size() && IsDigit(text[i])) ++i;
  }
  return i == text.size();
}

}  // namespace

std::vector<std::string_view> SplitSettingsLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(start, end - start));
    if (end < text.size()) {
      const bool carriageReturn = text[end] == '\r';
      ++end;
      if (carriageReturn && end < text.size() && text[end] == '\n') ++end;
    }
    start = end;
  }
  return lines;
}

std::string_view ReadSettingsValue(const std::vector<std::string_view>& lines, std::string_view key) {
  for (std::string_view line : lines) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (EqualIgnoringCase(line.substr(0, equals), key)) return line.substr(equals + 1);
  }
  return {};
}

bool ReadSettingsBoolean(std::string_view value, bool defaultValue) {
  bool isZero = true;
  if (ReadNumber(value, isZero)) return !isZero;
  if (EqualIgnoringCase(value, "True")) return true;
  if (EqualIgnoringCase(value, "False")) return false;
  return defaultValue;
}

std::vector<std::string> SplitTabList(std::string_view value) {
  std::vector<std::string> items;
  if (value.empty()) return items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = value.find('\t', start);
    items.emplace_back(value.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return items;
}

}  // namespace zl::engine
