#include "service/engine/request_text.h"

#include <cstddef>

namespace zl::engine {
namespace {

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view SkipLeadingTrimmed(std::string_view text) noexcept {
  while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
  return text;
}

// The text after the marker, leading blanks skipped, up to the terminator,
// trimmed; empty when either is missing.
std::string_view FindField(std::string_view text, std::string_view marker, std::string_view terminator) noexcept {
  const std::size_t at = text.find(marker);
  if (at == std::string_view::npos) return {};
  const std::string_view rest = SkipLeadingTrimmed(text.substr(at + marker.size()));
  const std::size_t end = rest.find(terminator);
  if (end == std::string_view::npos) return {};
  return TrimText(rest.substr(0, end));
}

bool EqualsLowerCased(std::string_view text, std::string_view lower) noexcept {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (AsciiLower(text[i]) != lower[i]) return false;
  }
  return true;
}

}  // namespace

std::string_view TrimText(std::string_view text) noexcept {
  while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view FindRequestHost(std::string_view requestText) noexcept {
  // The line end is looked for before the text's tail is trimmed, so a frame
  // that ends right after the host line's CR LF still yields its host.
  return FindField(requestText, "Host:", "\r\n");
}

std::string ExtractHostUrl(std::string_view requestText) {
  // A found host is never empty: blanks after "Host:" are skipped, so the
  // first character kept precedes the CR LF and survives the final trim.
  const std::string_view host = FindRequestHost(requestText);
  if (host.empty()) return {};
  std::string url = "http://";
  url += host;
  return url;
}

std::string_view FindRequestPath(std::string_view requestText) noexcept {
  return FindField(TrimText(requestText), "GET", " ");
}

std::string ExtractRequestPath(std::string_view requestText) { return std::string(FindRequestPath(requestText)); }

bool IsLoggableResource(std::string_view path) noexcept {
  const std::size_t last = path.find_last_of(".\\:");
  if (last == std::string_view::npos || path[last] != '.') return true;
  const std::string_view extension = path.substr(last);
  for (std::string_view skipped : SkippedExtensions) {
    if (EqualsLowerCased(extension, skipped)) return false;
  }
  return true;
}

}  // namespace zl::engine
