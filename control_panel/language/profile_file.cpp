#include "control_panel/language/profile_file.h"

#include <optional>
#include <vector>

#include "zl/platform/files.h"

namespace zl {
namespace {

// Blanks only: control characters other than the tab are part of a value.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string StripBlanks(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// One line of the file: where it starts and ends (before its line break).
struct Line {
  std::size_t begin;
  std::size_t end;
  std::size_t next;  // start of the following line
};

std::vector<Line> SplitLines(const std::string& bytes) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  while (begin < bytes.size()) {
    std::size_t lf = bytes.find('\n', begin);
    std::size_t next = lf == std::string::npos ? bytes.size() : lf + 1;
    std::size_t end = lf == std::string::npos ? bytes.size() : lf;
    if (end > begin && bytes[end - 1] == '\r') --end;
    lines.push_back({begin, end, next});
    begin = next;
  }
  return lines;
}

// The section name of a "[name]" line.
std::optional<std::string> SectionName(const std::string& line) {
  const std::string text = StripBlanks(line);
  if (text.size() < 2 || text.front() != '[') return std::nullopt;
  const std::size_t close = text.find(']');
  if (close == std::string::npos) return std::nullopt;
  return StripBlanks(text.substr(1, close - 1));
}

struct KeyLine {
  std::string key;
  std::string value;
};

std::optional<KeyLine> ParseKeyLine(const std::string& line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return std::nullopt;
  return KeyLine{StripBlanks(line.substr(0, equals)), StripBlanks(line.substr(equals + 1))};
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Where a section's lines are: the index of its header and one past its last line.
struct SectionSpan {
  std::size_t header;
  std::size_t end;
};

std::optional<SectionSpan> FindSection(const std::string& bytes, const std::vector<Line>& lines,
                                       const std::string& section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(bytes.substr(lines[i].begin, lines[i].end - lines[i].begin));
    if (!name || !SameName(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !SectionName(bytes.substr(lines[end].begin, lines[end].end - lines[end].begin))) ++end;
    return SectionSpan{i, end};
  }
  return std::nullopt;
}

std::string LineText(const std::string& bytes, const Line& line) {
  return bytes.substr(line.begin, line.end - line.begin);
}

}  // namespace

std::string FindProfileString(const std::string& fileBytes, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
  const std::vector<Line> lines = SplitLines(fileBytes);
  const auto span = FindSection(fileBytes, lines, section);
  if (!span) return defaultValue;
  for (std::size_t i = span->header + 1; i < span->end; ++i) {
    const auto entry = ParseKeyLine(LineText(fileBytes, lines[i]));
    if (!entry || !SameName(entry->key, key)) continue;
    std::string value = Unquote(entry->value);
    if (value.size() > kProfileValueLimit) value.resize(kProfileValueLimit);
    return value;
  }
  return defaultValue;
}

std::string SetProfileString(const std::string& fileBytes, const std::string& section, const std::string& key,
                             const std::string& value) {
  const std::string newLine = key + "=" + value;
  const std::vector<Line> lines = SplitLines(fileBytes);
  const auto span = FindSection(fileBytes, lines, section);
  if (!span) {
    std::string out = fileBytes;
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    return out + "[" + section + "]\r\n" + newLine + "\r\n";
  }
  for (std::size_t i = span->header + 1; i < span->end; ++i) {
    const auto entry = ParseKeyLine(LineText(fileBytes, lines[i]));
    if (!entry || !SameName(entry->key, key)) continue;
    return fileBytes.substr(0, lines[i].begin) + newLine + fileBytes.substr(lines[i].end);
  }
  // After the section's last line that holds anything, so blank lines that
  // part it from the next section stay between them.
  std::size_t last = span->header;
  for (std::size_t i = span->header + 1; i < span->end; ++i) {
    if (!StripBlanks(LineText(fileBytes, lines[i])).empty()) last = i;
  }
  const Line& after = lines[last];
  std::string head = fileBytes.substr(0, after.next);
  if (after.next == after.end) head += "\r\n";  // the file's last line had no break
  return head + newLine + "\r\n" + fileBytes.substr(after.next);
}

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) return defaultValue;
  return FindProfileString(bytes, section, key, defaultValue);
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
  std::string bytes;
  if (platform::FileExists(path) && !platform::ReadWholeFile(path, bytes)) return false;
  return platform::ReplaceWholeFile(path, SetProfileString(bytes, section, key, value));
}

}  // namespace zl
