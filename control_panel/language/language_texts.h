// The language module: the current language, its texts, the language menu
// and the choice of another language. Texts come from the files of the
// "Languages" folder beside the program:
//   "Languages\Language"       the choice (section "Language", key CurrentLanguage)
//   "Languages\" + name + ".ico" a language's flag; it makes the language exist
//   "Languages\" + name        the language's texts, section "1" for the main window
// Every lookup reads the file afresh; nothing is cached. Main thread only.
#pragma once

#include <string>

#include "control_panel/language/language_menu.h"

namespace zl {

class TLanguageTexts {
 public:
  // `programFolder` ends with "\"; reads CurrentLanguage from the choice
  // file (empty when the file or key is missing).
  explicit TLanguageTexts(std::string programFolder);
  // In the running program's folder.
  TLanguageTexts();

  // The name of the current language; changes only through SelectLanguage.
  std::string CurrentLanguage;

  // The text of a key of the current language, with every "~n~" made a
  // CR LF; empty when the file, section or key is missing.
  std::string LanguageText(const std::string& section, const std::string& key) const;

  // One image and one item per flag icon, in the order the folder lists
  // them; an icon that cannot be loaded ends the filling, the items before
  // it stay. Each item's caption is its file name up to the first point.
  void FillLanguageMenu(TImageList& images, TPopupMenu& menu, const TMenuItemClick& onClick) const;

  // Makes `name` current (unless it already is, letter case counting),
  // stores it in the choice file (a failed write is ignored) and broadcasts
  // NOTIFY_LANGUAGE_CHANGED.
  void SelectLanguage(const std::string& name);

  const std::string& LanguagesFolder() const { return folder_; }
  std::string ChoiceFile() const { return folder_ + "Language"; }

 private:
  std::string folder_;  // "<program folder>Languages\"
};

}  // namespace zl
