// One line of the URL log for a client's HTTP request frame:
// time stamp, two spaces, client MAC, two spaces, "http://" host path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "shared/support/clock.h"

namespace zl::engine {

// Where a composed line goes: the service writes it to the day's file in its
// main thread, while the packet thread waits.
class UrlLogLineWriter {
 public:
  virtual ~UrlLogLineWriter() = default;
  virtual void WriteUrlLogLine(const std::string& line) = 0;
};

// Appends the bytes, writing those below 0x20 and 0x7F as "%XX" (two
// upper-case hex digits), so a request cannot break its line into several.
void AppendEscapedControls(std::string& out, std::string_view bytes);

// Builds the line for the request in the frame's bytes (the whole frame read
// as text), stamped with `seen`. False, with `line` untouched, when the frame
// holds no host line or asks for a skipped resource type.
bool ComposeUrlLogLine(std::string_view clientMac, const std::uint8_t* frame, std::size_t length,
                       const LocalDateTime& seen, std::string& line);

// The packet thread's part of logging one request: composes the line with the
// clock's local time and hands it to the writer. Every error is swallowed;
// the frame goes on as judged.
void LogRequestUrl(std::string_view clientMac, const std::uint8_t* frame, std::size_t length, const Clock& clock,
                   UrlLogLineWriter& writer) noexcept;

}  // namespace zl::engine
