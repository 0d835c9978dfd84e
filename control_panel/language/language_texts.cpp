#include "control_panel/language/language_texts.h"

#include "control_panel/language/icon_file.h"
#include "control_panel/language/profile_file.h"
#include "shared/notify/message_monitor.h"
#include "zl/platform/files.h"

namespace zl {
namespace {

constexpr const char* kChoiceSection = "Language";
constexpr const char* kChoiceKey = "CurrentLanguage";

std::string ExpandLineBreaks(std::string text) {
  static const std::string marker = "~n~";
  for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 2)) {
    text.replace(at, marker.size(), "\r\n");
  }
  return text;
}

}  // namespace

TLanguageTexts::TLanguageTexts(std::string programFolder) : folder_(std::move(programFolder) + "Languages\\") {
  CurrentLanguage = ReadProfileString(ChoiceFile(), kChoiceSection, kChoiceKey, "");
}

TLanguageTexts::TLanguageTexts() : TLanguageTexts(platform::ProgramFolder()) {}

std::string TLanguageTexts::LanguageText(const std::string& section, const std::string& key) const {
  return ExpandLineBreaks(ReadProfileString(folder_ + CurrentLanguage, section, key, ""));
}

void TLanguageTexts::FillLanguageMenu(TImageList& images, TPopupMenu& menu, const TMenuItemClick& onClick) const {
  if (!platform::DirectoryExists(folder_)) return;
  int added = 0;
  for (const platform::FolderEntry& entry : platform::FindFiles(folder_ + "*.ico")) {
    if (entry.name == "." || entry.name == ".." || entry.isDirectory) continue;
    TIcon icon;
    if (!platform::ReadWholeFile(folder_ + entry.name, icon.Bytes) || !IsIconFile(icon.Bytes)) return;
    images.Images.push_back(std::move(icon));
    TMenuItem item;
    item.Caption = entry.name.substr(0, entry.name.find('.'));
    item.ImageIndex = added++;
    item.OnClick = onClick;
    menu.Items.push_back(std::move(item));
  }
}

void TLanguageTexts::SelectLanguage(const std::string& name) {
  if (name == CurrentLanguage) return;
  CurrentLanguage = name;
  WriteProfileString(ChoiceFile(), kChoiceSection, kChoiceKey, name);
  BroadcastMessage(NOTIFY_LANGUAGE_CHANGED);
}

}  // namespace zl
