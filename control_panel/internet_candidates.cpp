#include "control_panel/internet_candidates.h"

#include <charconv>
#include <cstdint>
#include <vector>

namespace zl::panel {
namespace {

bool ParseDecimal(const std::string& part, std::int64_t& value) {
  if (part.empty()) return false;
  const char* first = part.data();
  const char* last = part.data() + part.size();
  if (*first == '+') ++first;  // a sign is part of a decimal number
  const auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last;
}

}  // namespace

bool IsLocalAddress(const std::string& text) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == '.') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  if (parts.size() < 4) return false;
  std::int64_t a = 0, b = 0, c = 0, d = 0;
  if (!ParseDecimal(parts[0], a) || !ParseDecimal(parts[1], b) || !ParseDecimal(parts[2], c) ||
      !ParseDecimal(parts[3], d)) {
    return false;
  }
  return a == 0 || a == 10 || (a == 172 && b >= 16 && b <= 31) || (a == 192 && b == 168 && c == 137 && d == 1) ||
         (a == 169 && b == 254);
}

std::string CandidateItemText(const std::string& name, const std::string& address) {
  return name + " (" + address + ")";
}

}  // namespace zl::panel
