// The languages shipped beside the program: every one has a flag the menu
// loads, a text for each key of the main window, and the choice file names
// one of them.
#include <gtest/gtest.h>

#include <algorithm>

#include "control_panel/language/language_texts.h"
#include "control_panel/builtin_captions.h"
#include "zl/platform/files.h"

namespace zl {
namespace {

// A folder holding the shipped files as "Languages", as they lie beside the
// program (the build copies them next to this test).
std::string ShippedProgramFolder() { return platform::ProgramFolder(); }

TEST(ShippedLanguages, DeutschAndEnglishHaveFlagsAndAllTwentyTwoTexts) {
  TLanguageTexts texts(ShippedProgramFolder());
  ASSERT_TRUE(platform::DirectoryExists(texts.LanguagesFolder())) << texts.LanguagesFolder();
  EXPECT_EQ(texts.CurrentLanguage, "Deutsch");

  TImageList images;
  TPopupMenu menu;
  texts.FillLanguageMenu(images, menu, {});
  std::vector<std::string> names;
  for (const TMenuItem& item : menu.Items) names.push_back(item.Caption);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Deutsch", "English"}));

  for (const std::string& name : names) {
    texts.CurrentLanguage = name;
    for (int key = 1; key <= 22; ++key) {
      EXPECT_FALSE(texts.LanguageText(panel::kMainWindowSection, std::to_string(key)).empty())
          << name << " key " << key;
    }
  }
}

TEST(ShippedLanguages, TheGermanFileSaysWhatIsBuiltIn) {
  TLanguageTexts texts(ShippedProgramFolder());
  texts.CurrentLanguage = "Deutsch";
  auto withCrLf = [](const std::string& builtIn) {
    std::string text;
    for (char c : builtIn) text += c == '\r' ? std::string("\r\n") : std::string(1, c);
    return text;
  };
  for (const auto& caption : panel::TranslatedCaptions()) {
    EXPECT_EQ(texts.LanguageText("1", caption.key), withCrLf(caption.builtIn)) << caption.key;
  }
  EXPECT_EQ(texts.LanguageText("1", "9"), "Hotspot einrichten und Starten");
}

}  // namespace
}  // namespace zl
