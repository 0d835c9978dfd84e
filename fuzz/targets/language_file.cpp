// Language files and the language choice file as the control panel reads and
// writes them (profile-string files), and the flag icons that make a language
// exist. Checked per input, for any file bytes:
//  - a value read is at most 2047 characters, or the default;
//  - a value written under a section and key is read back as written, and
//    other keys of that section and other sections read as before;
//  - an icon file is accepted only when its picture directory and every
//    picture lie inside the file.
//
// Input: section, key and value (each a length byte and its bytes), then the
// file's bytes.
#include <cstdint>
#include <string>

#include "control_panel/language/icon_file.h"
#include "control_panel/language/profile_file.h"
#include "fuzz/fuzz_support.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

bool Trimmed(const std::string& text) { return text.empty() || (!IsBlank(text.front()) && !IsBlank(text.back())); }

// Names and values that a file line can carry unchanged: a section name
// without "]", a key without "=" that does not open like a section line, a
// value that is not enclosed in quotes.
bool Writable(const std::string& section, const std::string& key, const std::string& value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
  if (!Trimmed(section) || !Trimmed(key) || !Trimmed(value)) return false;
  if (section.find(']') != std::string::npos || key.empty() || key.find('=') != std::string::npos) return false;
  if (key.front() == '[') return false;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return false;
  }
  return true;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::uint32_t Little(const std::string& bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return value;
}

bool ContainerInside(const std::string& bytes) {
  if (bytes.size() < 6 || Little(bytes, 0, 2) != 0 || Little(bytes, 2, 2) != 1) return false;
  const std::uint64_t count = Little(bytes, 4, 2);
  const std::uint64_t directoryEnd = 6 + 16 * count;
  if (count == 0 || directoryEnd > bytes.size()) return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t size = Little(bytes, 6 + 16 * i + 8, 4);
    const std::uint64_t offset = Little(bytes, 6 + 16 * i + 12, 4);
    if (size == 0 || offset < directoryEnd || offset + size > bytes.size()) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zl::fuzz::InputReader input(data, size);
  const std::string section(zl::fuzz::AsText(input.Bytes(input.Byte())));
  const std::string key(zl::fuzz::AsText(input.Bytes(input.Byte())));
  const std::string value(zl::fuzz::AsText(input.Bytes(input.Byte())));
  const std::string file(zl::fuzz::AsText(input.Rest()));

  const std::string fallback = "\x01" "default";
  const std::string read = zl::FindProfileString(file, section, key, fallback);
  ZL_FUZZ_CHECK(read == fallback || read.size() <= zl::kProfileValueLimit);

  ZL_FUZZ_CHECK(zl::IsIconFile(file) == ContainerInside(file));

  if (!Writable(section, key, value)) return 0;
  const std::string written = zl::SetProfileString(file, section, key, value);
  ZL_FUZZ_CHECK(zl::FindProfileString(written, section, key, fallback) == value);
  for (const std::string other : {"CurrentLanguage", "1", "other"}) {
    if (!SameNameIgnoringCase(other, key)) {
      ZL_FUZZ_CHECK(zl::FindProfileString(written, section, other, fallback) ==
                    zl::FindProfileString(file, section, other, fallback));
    }
    if (!SameNameIgnoringCase(other, section)) {
      ZL_FUZZ_CHECK(zl::FindProfileString(written, other, key, fallback) ==
                    zl::FindProfileString(file, other, key, fallback));
    }
  }
  return 0;
}
