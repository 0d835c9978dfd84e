// Reading and writing initialisation files the way the language files and
// the choice file are read and written.
#include "control_panel/language/profile_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "zl/platform/files.h"

namespace zl {
namespace {

struct LookupCase {
  const char* name;
  std::string file;
  std::string section;
  std::string key;
  std::string expected;
};

class ProfileLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookup, FindsTheValue) {
  const LookupCase& c = GetParam();
  EXPECT_EQ(FindProfileString(c.file, c.section, c.key, "<default>"), c.expected);
}

const std::string kLong(3000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileLookup,
    ::testing::Values(
        LookupCase{"EmptyFile", "", "1", "1", "<default>"},
        LookupCase{"CrLfLines", "[1]\r\n1=Settings\r\n2=Clients\r\n", "1", "2", "Clients"},
        LookupCase{"LfLines", "[1]\n1=Settings\n2=Clients\n", "1", "2", "Clients"},
        LookupCase{"NoFinalLineBreak", "[1]\r\n1=Settings", "1", "1", "Settings"},
        LookupCase{"MissingKey", "[1]\r\n1=Settings\r\n", "1", "9", "<default>"},
        LookupCase{"MissingSection", "[2]\r\n1=Settings\r\n", "1", "1", "<default>"},
        LookupCase{"KeyOfAnotherSectionNotSeen", "[1]\r\n[2]\r\n5=x\r\n", "1", "5", "<default>"},
        LookupCase{"NamesIgnoreCase", "[language]\r\ncurrentlanguage=English\r\n", "Language", "CurrentLanguage",
                   "English"},
        LookupCase{"BlanksAroundKeyAndValue", "[ 1 ]\r\n  4 \t=   Start it   \r\n", "1", "4", "Start it"},
        LookupCase{"DoubleQuotesDropped", "[1]\r\n1=\"  quoted  \"\r\n", "1", "1", "  quoted  "},
        LookupCase{"SingleQuotesDropped", "[1]\r\n1='it'\r\n", "1", "1", "it"},
        LookupCase{"UnmatchedQuoteKept", "[1]\r\n1=\"open\r\n", "1", "1", "\"open"},
        LookupCase{"MixedQuotesKept", "[1]\r\n1=\"mixed'\r\n", "1", "1", "\"mixed'"},
        LookupCase{"EqualsInValueKept", "[1]\r\n1=a=b\r\n", "1", "1", "a=b"},
        LookupCase{"EmptyValue", "[1]\r\n1=\r\n", "1", "1", ""},
        LookupCase{"FirstKeyCounts", "[1]\r\n1=first\r\n1=second\r\n", "1", "1", "first"},
        LookupCase{"SectionNamedTwiceFirstCounts", "[1]\r\n1=first\r\n[1]\r\n1=second\r\n2=later\r\n", "1", "1",
                   "first"},
        LookupCase{"SectionNamedTwiceSecondNotSearched", "[1]\r\n1=first\r\n[1]\r\n2=later\r\n", "1", "2",
                   "<default>"},
        LookupCase{"LongValueCut", "[1]\r\n1=" + kLong + "\r\n", "1", "1", std::string(kProfileValueLimit, 'x')},
        LookupCase{"TildeNKeptRaw", "[1]\r\n1=a~n~b\r\n", "1", "1", "a~n~b"},
        LookupCase{"CodePage1252BytesKept", "[1]\r\n6=Netzwerkschl\xFCssel \x80\r\n", "1", "6",
                   "Netzwerkschl\xFCssel \x80"}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
  const char* name;
  std::string before;
  std::string after;
};

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, SetsTheKeyAndKeepsTheRest) {
  const WriteCase& c = GetParam();
  const std::string written = SetProfileString(c.before, "Language", "CurrentLanguage", "English");
  EXPECT_EQ(written, c.after);
  EXPECT_EQ(FindProfileString(written, "Language", "CurrentLanguage", ""), "English");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWrite,
    ::testing::Values(
        WriteCase{"NewFile", "", "[Language]\r\nCurrentLanguage=English\r\n"},
        WriteCase{"ReplacesInPlace", "[Language]\r\nCurrentLanguage=Deutsch\r\nOther=1\r\n",
                  "[Language]\r\nCurrentLanguage=English\r\nOther=1\r\n"},
        WriteCase{"ReplacesOtherCaseKey", "[LANGUAGE]\ncurrentlanguage = Deutsch\n",
                  "[LANGUAGE]\nCurrentLanguage=English\n"},
        WriteCase{"AddsToSection", "[Language]\r\nOther=1\r\n\r\n[Next]\r\nx=1\r\n",
                  "[Language]\r\nOther=1\r\nCurrentLanguage=English\r\n\r\n[Next]\r\nx=1\r\n"},
        WriteCase{"AddsSection", "[Other]\r\nx=1", "[Other]\r\nx=1\r\n[Language]\r\nCurrentLanguage=English\r\n"},
        WriteCase{"AddsAfterHeaderWithoutBreak", "[Language]", "[Language]\r\nCurrentLanguage=English\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileFile, MissingFileReadsAsDefaultAndWritingCreatesIt) {
  test::TempFolder folder;
  const std::string file = folder.Child("Language");
  EXPECT_EQ(ReadProfileString(file, "Language", "CurrentLanguage", "none"), "none");
  ASSERT_TRUE(WriteProfileString(file, "Language", "CurrentLanguage", "English"));
  EXPECT_EQ(ReadProfileString(file, "Language", "CurrentLanguage", ""), "English");
  ASSERT_TRUE(WriteProfileString(file, "Language", "CurrentLanguage", "Deutsch"));
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(file, bytes));
  EXPECT_EQ(bytes, "[Language]\r\nCurrentLanguage=Deutsch\r\n");
}

TEST(ProfileFile, WriteIntoAMissingFolderFails) {
  test::TempFolder folder;
  EXPECT_FALSE(WriteProfileString(folder.Child("gone\\Language"), "Language", "CurrentLanguage", "x"));
}

}  // namespace
}  // namespace zl
