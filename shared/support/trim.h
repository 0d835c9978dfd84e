// Trimming as the programs' texts are trimmed: blanks and control characters
// (every byte up to and including the space) go from both ends.
#pragma once

#include <string>

namespace zl {

inline std::string Trim(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

}  // namespace zl
