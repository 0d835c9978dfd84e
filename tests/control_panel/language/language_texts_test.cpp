// The language module over a program folder of the test's own: the choice
// file, text lookups, the language menu from the flag icons, and choosing a
// language with its announcement.
#include "control_panel/language/language_texts.h"

#include <gtest/gtest.h>

#include "control_panel/language/icon_file.h"
#include "shared/notify/message_monitor.h"
#include "tests/support/temp_folder.h"
#include "zl/platform/files.h"

namespace zl {
namespace {

// The smallest icon file: one 1x1 picture of 4 bytes.
std::string TinyIcon() {
  std::string bytes("\0\0\1\0\1\0", 6);
  bytes += std::string("\1\1\0\0\1\0\x20\0", 8);
  bytes += std::string("\4\0\0\0\x16\0\0\0", 8);
  bytes += std::string("\xFF\0\0\xFF", 4);
  return bytes;
}

class LanguageFolder : public ::testing::Test {
 protected:
  std::string ProgramFolder() const { return folder_.Path() + "\\"; }
  std::string Languages() const { return folder_.Child("Languages") + "\\"; }

  void MakeLanguagesFolder() { ASSERT_TRUE(platform::CreateDirectory(folder_.Child("Languages"))); }
  void Write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(platform::ReplaceWholeFile(Languages() + name, bytes)) << name;
  }
  std::string Read(const std::string& name) {
    std::string bytes;
    return platform::ReadWholeFile(Languages() + name, bytes) ? bytes : "<missing>";
  }

  test::TempFolder folder_;
};

TEST_F(LanguageFolder, CurrentLanguageComesFromTheChoiceFile) {
  MakeLanguagesFolder();
  EXPECT_EQ(TLanguageTexts(ProgramFolder()).CurrentLanguage, "");
  Write("Language", "[Language]\r\nOther=1\r\n");
  EXPECT_EQ(TLanguageTexts(ProgramFolder()).CurrentLanguage, "");
  Write("Language", "[language]\r\ncurrentlanguage = \"English\"\r\n");
  EXPECT_EQ(TLanguageTexts(ProgramFolder()).CurrentLanguage, "English");
}

TEST_F(LanguageFolder, LookupsReadTheCurrentLanguagesFileAfresh) {
  MakeLanguagesFolder();
  Write("Language", "[Language]\r\nCurrentLanguage=English\r\n");
  Write("English", "[1]\r\n1=Settings\r\n14=first~n~second~n~third\r\n");
  TLanguageTexts texts(ProgramFolder());
  EXPECT_EQ(texts.LanguageText("1", "1"), "Settings");
  EXPECT_EQ(texts.LanguageText("1", "14"), "first\r\nsecond\r\nthird");
  EXPECT_EQ(texts.LanguageText("1", "20"), "");
  EXPECT_EQ(texts.LanguageText("2", "1"), "");
  Write("English", "[1]\r\n1=Options\r\n");
  EXPECT_EQ(texts.LanguageText("1", "1"), "Options");
}

TEST_F(LanguageFolder, AMissingTextFileOrLanguageGivesEmptyTexts) {
  MakeLanguagesFolder();
  Write("Deutsch", "[1]\r\n1=Einstellung\r\n");
  TLanguageTexts texts(ProgramFolder());
  EXPECT_EQ(texts.LanguageText("1", "1"), "");  // no language chosen: the folder itself is no text file
  texts.CurrentLanguage = "Klingon";
  EXPECT_EQ(texts.LanguageText("1", "1"), "");
}

TEST_F(LanguageFolder, LineBreakMarkersNextToEachOther) {
  MakeLanguagesFolder();
  Write("Language", "[Language]\r\nCurrentLanguage=X\r\n");
  Write("X", "[1]\r\n1=~n~~n~a~n\r\n2=~n~n~\r\n");
  TLanguageTexts texts(ProgramFolder());
  EXPECT_EQ(texts.LanguageText("1", "1"), "\r\n\r\na~n");
  EXPECT_EQ(texts.LanguageText("1", "2"), "\r\nn~");
}

TEST_F(LanguageFolder, WithoutTheFolderTheMenuStaysEmpty) {
  TLanguageTexts texts(ProgramFolder());
  TImageList images;
  TPopupMenu menu;
  texts.FillLanguageMenu(images, menu, {});
  EXPECT_TRUE(menu.Items.empty());
  EXPECT_TRUE(images.Images.empty());
}

TEST_F(LanguageFolder, OneItemAndOneImagePerIconNamedUpToTheFirstPoint) {
  MakeLanguagesFolder();
  Write("English.ico", TinyIcon());
  Write("English.old.ico", TinyIcon());
  Write("Deutsch.ICO", TinyIcon());
  Write("English", "[1]\r\n");
  Write("notes.txt", "x");
  ASSERT_TRUE(platform::CreateDirectory(Languages() + "folder.ico"));

  TLanguageTexts texts(ProgramFolder());
  TImageList images;
  TPopupMenu menu;
  std::string clicked;
  texts.FillLanguageMenu(images, menu, [&](const TMenuItem& item) { clicked = item.Caption; });

  std::vector<std::string> expected;
  for (const auto& entry : platform::FindFiles(Languages() + "*.ico")) {
    if (!entry.isDirectory) expected.push_back(entry.name.substr(0, entry.name.find('.')));
  }
  ASSERT_EQ(menu.Items.size(), 3u);
  ASSERT_EQ(images.Images.size(), 3u);
  EXPECT_EQ(images.Width, 25);
  EXPECT_EQ(images.Height, 13);
  for (std::size_t i = 0; i < menu.Items.size(); ++i) {
    EXPECT_EQ(menu.Items[i].Caption, expected[i]);
    EXPECT_EQ(menu.Items[i].ImageIndex, static_cast<int>(i));
    EXPECT_EQ(images.Images[i].Bytes, TinyIcon());
  }
  EXPECT_EQ(std::count_if(menu.Items.begin(), menu.Items.end(), [](auto& i) { return i.Caption == "English"; }), 2);
  menu.Items[0].OnClick(menu.Items[0]);
  EXPECT_EQ(clicked, expected[0]);
}

TEST_F(LanguageFolder, AnIconThatCannotBeLoadedEndsTheFilling) {
  MakeLanguagesFolder();
  for (const char* name : {"A.ico", "B.ico", "C.ico", "D.ico"}) Write(name, TinyIcon());
  Write("Broken.ico", "not an icon");
  std::vector<std::string> before;
  for (const auto& entry : platform::FindFiles(Languages() + "*.ico")) {
    if (entry.name == "Broken.ico") break;
    before.push_back(entry.name.substr(0, 1));
  }
  TLanguageTexts texts(ProgramFolder());
  TImageList images;
  TPopupMenu menu;
  texts.FillLanguageMenu(images, menu, {});
  ASSERT_EQ(menu.Items.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(menu.Items[i].Caption, before[i]);
  EXPECT_EQ(images.Images.size(), before.size());
}

TEST(IconFile, ContainerChecks) {
  const std::string icon = TinyIcon();
  EXPECT_TRUE(IsIconFile(icon));
  EXPECT_FALSE(IsIconFile(""));
  EXPECT_FALSE(IsIconFile(icon.substr(0, icon.size() - 1)));  // picture runs past the end
  std::string cursor = icon;
  cursor[2] = 2;  // a cursor file
  EXPECT_FALSE(IsIconFile(cursor));
  std::string none = icon;
  none[4] = 0;
  EXPECT_FALSE(IsIconFile(none));
  std::string overlapping = icon;
  overlapping[18] = 0;  // picture offset inside the directory
  EXPECT_FALSE(IsIconFile(overlapping));
}

class Announcements : public LanguageFolder {
 protected:
  Announcements() {
    monitor_.OnMessage = [this](TMessage& message) { codes_.push_back(message.Msg); };
  }
  TrkMessageMonitor monitor_;
  std::vector<std::uint32_t> codes_;
};

TEST_F(Announcements, ChoosingALanguageStoresAndAnnouncesIt) {
  MakeLanguagesFolder();
  TLanguageTexts texts(ProgramFolder());
  texts.SelectLanguage("English");
  EXPECT_EQ(texts.CurrentLanguage, "English");
  EXPECT_EQ(Read("Language"), "[Language]\r\nCurrentLanguage=English\r\n");
  EXPECT_EQ(codes_, std::vector<std::uint32_t>{NOTIFY_LANGUAGE_CHANGED});
  EXPECT_EQ(TLanguageTexts(ProgramFolder()).CurrentLanguage, "English");
}

TEST_F(Announcements, TheCurrentLanguageAgainWritesAndAnnouncesNothing) {
  MakeLanguagesFolder();
  Write("Language", "[Language]\r\nCurrentLanguage = English \r\n");
  TLanguageTexts texts(ProgramFolder());
  texts.SelectLanguage("English");
  EXPECT_TRUE(codes_.empty());
  EXPECT_EQ(Read("Language"), "[Language]\r\nCurrentLanguage = English \r\n");
}

TEST_F(Announcements, OtherLetterCaseCountsAsAChange) {
  MakeLanguagesFolder();
  Write("Language", "[Language]\r\nCurrentLanguage=english\r\n");
  TLanguageTexts texts(ProgramFolder());
  texts.SelectLanguage("English");
  EXPECT_EQ(codes_.size(), 1u);
  EXPECT_EQ(Read("Language"), "[Language]\r\nCurrentLanguage=English\r\n");
}

TEST_F(Announcements, AFailedWriteStillMakesTheLanguageCurrentAndAnnouncesIt) {
  TLanguageTexts texts(ProgramFolder());  // no "Languages" folder to write into
  texts.SelectLanguage("English");
  EXPECT_EQ(texts.CurrentLanguage, "English");
  EXPECT_EQ(codes_.size(), 1u);
  EXPECT_FALSE(platform::FileExists(texts.ChoiceFile()));
}

}  // namespace
}  // namespace zl

namespace zl {
namespace {

TEST(LanguageMenu, FindsItemsIgnoringCaseAndAcceleratorMarks) {
  TPopupMenu menu;
  for (const char* caption : {"Deutsch", "&English", "Rock&&Roll"}) menu.Items.push_back({caption, 0, {}});
  EXPECT_EQ(FindMenuItem(menu, "english"), 1);
  EXPECT_EQ(FindMenuItem(menu, "ENGLISH"), 1);
  EXPECT_EQ(FindMenuItem(menu, "DEUTSCH"), 0);
  EXPECT_EQ(FindMenuItem(menu, "rock&roll"), 2);
  EXPECT_EQ(FindMenuItem(menu, "Fran\xE7" "ais"), -1);
  EXPECT_EQ(FindMenuItem(menu, ""), -1);
}

}  // namespace
}  // namespace zl
