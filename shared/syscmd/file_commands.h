// The two file routines of the service's URL log. Both raise FileCommandError
// on any input/output failure; the caller decides whether to swallow it.
#pragma once

#include <stdexcept>
#include <string>

namespace zl::syscmd {

class FileCommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Creates the file, or empties it when it exists, and closes it.
void CreateEmptyFile(const std::string& file);

// Opens the existing file for appending, writes the line followed by CR LF and
// closes it. A missing file is an error: the line is never written elsewhere.
void AppendLineToFile(const std::string& file, const std::string& line);

}  // namespace zl::syscmd
