// The day files of the URL log: "yyyy-mm-dd.txt" in the log folder, one CR LF
// line per logged request, the date taken when the line is written.
#pragma once

#include <string>

#include "service/engine/url_log_line.h"
#include "shared/support/clock.h"

namespace zl::engine {

// "UrlLog" in the folder of the service's program, without a trailing "\".
std::string DefaultUrlLogFolder();

// "yyyy-mm-dd.txt".
std::string UrlLogFileName(const LocalDateTime& date);

class UrlLogFile final : public UrlLogLineWriter {
 public:
  // `folder` without a trailing "\"; the clock must outlive this object.
  UrlLogFile(std::string folder, const Clock& clock);

  // Appends the line to the day's file, creating the log folder and the file
  // when they are missing. Any failure is swallowed: the line is lost and the
  // next request tries again.
  void WriteUrlLogLine(const std::string& line) override;

 private:
  std::string folder_;
  const Clock& clock_;
};

}  // namespace zl::engine
