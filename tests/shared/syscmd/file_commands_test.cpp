#include "shared/syscmd/file_commands.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "zl/platform/files.h"

namespace zl::syscmd {
namespace {

std::string Contents(const std::string& file) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(file, bytes)) << file;
  return bytes;
}

TEST(FileCommandsTest, AppendToMissingFileRaisesAndCreatesNothing) {
  test::TempFolder folder;
  const std::string file = folder.Child("missing.txt");
  EXPECT_THROW(AppendLineToFile(file, "line"), FileCommandError);
  EXPECT_FALSE(platform::FileExists(file));
}

TEST(FileCommandsTest, AppendAfterCreateHoldsExactlyTheLineAndCrLf) {
  test::TempFolder folder;
  const std::string file = folder.Child("log.txt");
  CreateEmptyFile(file);
  EXPECT_EQ(Contents(file), "");
  AppendLineToFile(file, "first");
  EXPECT_EQ(Contents(file), "first\r\n");
  AppendLineToFile(file, std::string("se\0cond\xE9", 8));
  EXPECT_EQ(Contents(file), std::string("first\r\nse\0cond\xE9\r\n", 17));
}

TEST(FileCommandsTest, CreateEmptiesAnExistingFile) {
  test::TempFolder folder;
  const std::string file = folder.Child("log.txt");
  CreateEmptyFile(file);
  AppendLineToFile(file, "old line");
  CreateEmptyFile(file);
  EXPECT_EQ(Contents(file), "");
}

TEST(FileCommandsTest, CreateInMissingFolderRaises) {
  test::TempFolder folder;
  const std::string file = folder.Child("no such folder\\log.txt");
  EXPECT_THROW(CreateEmptyFile(file), FileCommandError);
  EXPECT_THROW(AppendLineToFile(file, "line"), FileCommandError);
}

TEST(FileCommandsTest, AppendToAFolderRaises) {
  test::TempFolder folder;
  EXPECT_THROW(AppendLineToFile(folder.Path(), "line"), FileCommandError);
}

}  // namespace
}  // namespace zl::syscmd
