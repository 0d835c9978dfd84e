// Host and path of an HTTP request found by plain text searches in the bytes
// of one frame: no TCP reassembly, no HTTP parser. All searches are
// case-sensitive and take the first occurrence.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zl::engine {

// Requests for these page resources are not logged; compared ignoring case.
inline constexpr std::array<std::string_view, 9> SkippedExtensions = {
    ".bmp", ".gif", ".jpg", ".jpeg", ".png", ".js", ".css", ".ico", ".xml",
};

// Without leading and trailing characters of codes 0 to 32.
std::string_view TrimText(std::string_view text) noexcept;

// The host: the text after "Host:", leading blanks skipped, up to the first
// CR LF that follows, trimmed. Empty when there is no "Host:" or no CR LF
// after it; a CR LF that ends the frame counts.
std::string_view FindRequestHost(std::string_view requestText) noexcept;
// "http://" followed by the host, or "" when there is none.
std::string ExtractHostUrl(std::string_view requestText);

// The target: the trimmed text after "GET" up to the first space that follows
// it, trimmed. Empty when there is no "GET" or no space after it.
std::string_view FindRequestPath(std::string_view requestText) noexcept;
std::string ExtractRequestPath(std::string_view requestText);

// The extension runs from the path's last "." to its end, unless a "\" or ":"
// follows that "." ("/" does not end it: "/a.png?x=1" has ".png?x=1"). A path
// is loggable when its extension, lower-cased, is not a skipped one; an empty
// extension is loggable.
bool IsLoggableResource(std::string_view path) noexcept;

}  // namespace zl::engine
