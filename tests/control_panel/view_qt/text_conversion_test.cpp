// Code page 1252 texts of the programs shown by Qt, and typed texts back.
#include "control_panel/view_qt/text_conversion.h"

#include <gtest/gtest.h>

namespace zl {
namespace {

TEST(TextConversion, CodePage1252BothWays) {
  const std::string german = "Netzwerkschl\xFC" "ssel \x80 \x85 \x93zitiert\x94";
  const QString shown = FromCp1252(german);
  EXPECT_EQ(shown, QString::fromUtf8("Netzwerkschlüssel € … “zitiert”"));
  EXPECT_EQ(ToCp1252(shown), german);
}

TEST(TextConversion, CharactersTheCodePageLacksBecomeQuestionMarks) {
  EXPECT_EQ(ToCp1252(QString::fromUtf8("a\xE2\x88\x9A" "b\xF0\x9F\x98\x80" "c")), "a?b?c");  // √ and an emoji
}

TEST(TextConversion, CaptionLineBreaks) {
  EXPECT_EQ(CaptionText("one\rtwo\r\nthree"), QString("one\ntwo\nthree"));
}

}  // namespace
}  // namespace zl
