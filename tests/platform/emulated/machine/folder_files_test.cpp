// Whole-file replacement and folder listing by pattern, as the language
// module uses them.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/temp_folder.h"
#include "zl/platform/files.h"

namespace zl::platform {
namespace {

std::vector<std::string> Names(const std::vector<FolderEntry>& entries) {
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name + (e.isDirectory ? "\\" : ""));
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReplaceWholeFile, CreatesReplacesAndLeavesNoTemporary) {
  test::TempFolder folder;
  const std::string file = folder.Child("Language");
  ASSERT_TRUE(ReplaceWholeFile(file, "first"));
  ASSERT_TRUE(ReplaceWholeFile(file, "2nd"));
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(file, bytes));
  EXPECT_EQ(bytes, "2nd");
  EXPECT_EQ(Names(FindFiles(folder.Child("*"))), (std::vector<std::string>{"..\\", ".\\", "Language"}));
}

TEST(ReplaceWholeFile, FailsInAMissingFolder) {
  test::TempFolder folder;
  EXPECT_FALSE(ReplaceWholeFile(folder.Child("nowhere\\Language"), "x"));
  EXPECT_FALSE(DirectoryExists(folder.Child("nowhere")));
}

TEST(FindFiles, MatchesWildcardsIgnoringCaseAndMarksFolders) {
  test::TempFolder folder;
  for (const char* name : {"English.ico", "Deutsch.ICO", "English.old.ico", "English", "icons.txt", "x.icon"}) {
    ASSERT_TRUE(CreateOrTruncateFile(folder.Child(name)));
  }
  ASSERT_TRUE(CreateDirectory(folder.Child("dir.ico")));
  EXPECT_EQ(Names(FindFiles(folder.Child("*.ico"))),
            (std::vector<std::string>{"Deutsch.ICO", "English.ico", "English.old.ico", "dir.ico\\"}));
  EXPECT_EQ(Names(FindFiles(folder.Child("?nglish"))), (std::vector<std::string>{"English"}));
  EXPECT_TRUE(FindFiles(folder.Child("missing\\*.ico")).empty());
}

TEST(FindFiles, CodePage1252NamesComeBackInTheProgramsForm) {
  test::TempFolder folder;
  const std::string name = "Fran\xE7" "ais.ico";
  ASSERT_TRUE(CreateOrTruncateFile(folder.Child(name)));
  EXPECT_EQ(Names(FindFiles(folder.Child("*.ICO"))), (std::vector<std::string>{name}));
}

}  // namespace
}  // namespace zl::platform
