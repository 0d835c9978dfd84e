// The window's translated captions: which control each key of section "1" of
// a language file captions, and the built-in German text that stands until
// the first lookup. Multi-line captions break lines with a carriage return.
// Texts are in code page 1252.
#pragma once

#include <string>
#include <vector>

namespace zl::panel {

inline constexpr const char* kMainWindowSection = "1";

struct TranslatedCaption {
  const char* key;
  const char* control;
  const char* builtIn;
};

// Keys "1" to "19" in the order of the key table; "9" is the set-up button
// stopped in automatic mode. Keys "20" to "22" have no built-in text.
const std::vector<TranslatedCaption>& TranslatedCaptions();

// The built-in text of a key of section "1"; "" for any other.
std::string BuiltInLanguageText(const std::string& section, const std::string& key);

}  // namespace zl::panel
