#include "service/engine/url_log_line.h"

#include "service/engine/request_text.h"
#include "zl/platform/locale.h"

namespace zl::engine {

void AppendEscapedControls(std::string& out, std::string_view bytes) {
  constexpr char kHexDigits[] = "0123456789ABCDEF";
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += '%';
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    } else {
      out += c;
    }
  }
}

bool ComposeUrlLogLine(std::string_view clientMac, const std::uint8_t* frame, std::size_t length,
                       const LocalDateTime& seen, std::string& line) {
  // Every byte of the frame, headers and NULs included, is one character.
  const std::string_view requestText(reinterpret_cast<const char*>(frame), length);
  const std::string_view host = FindRequestHost(requestText);
  if (host.empty()) return false;
  const std::string_view path = FindRequestPath(requestText);
  if (!IsLoggableResource(path)) return false;

  std::string composed = platform::FormatDefaultDateTime(seen);
  composed.reserve(composed.size() + clientMac.size() + host.size() + path.size() + 16);
  composed += "  ";
  composed += clientMac;
  composed += "  http://";
  AppendEscapedControls(composed, host);
  AppendEscapedControls(composed, path);
  line = std::move(composed);
  return true;
}

void LogRequestUrl(std::string_view clientMac, const std::uint8_t* frame, std::size_t length, const Clock& clock,
                   UrlLogLineWriter& writer) noexcept {
  try {
    std::string line;
    if (ComposeUrlLogLine(clientMac, frame, length, clock.LocalNow(), line)) writer.WriteUrlLogLine(line);
  } catch (...) {
    // Logging never holds up the frame.
  }
}

}  // namespace zl::engine
