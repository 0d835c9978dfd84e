#include "shared/messaging/message_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace zl {
namespace {

constexpr std::uint8_t kSettingsCode = 30;

std::string Scramble(const std::string& text, std::int32_t seed = ScrambleSeed) {
  return ScrambleText(text, seed, ScrambleDirection::Scramble);
}

std::string Unscramble(const std::string& text, std::int32_t seed = ScrambleSeed) {
  return ScrambleText(text, seed, ScrambleDirection::Unscramble);
}

std::string AllBytes() {
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes.push_back(static_cast<char>(c));
  return bytes;
}

TEST(ScrambleTextTest, MatchesTheGeneratorOfThePeerProgram) {
  // Worked out by hand from the generator: state * 134775813 + 1, draw = upper
  // half of state * 90. The peer decodes with exactly these shifts.
  EXPECT_EQ(Scramble("EnableUrlLog=-1\r\n"), "#+WbJN<``ghvE21\r\n");
  EXPECT_EQ(Scramble("abc", 0), std::string({97, 100, 85}));
}

TEST(ScrambleTextTest, UnscramblingRestoresEveryText) {
  const std::string texts[] = {
      "",
      "a",
      "FirewallEnabled=-1\r\nAllowedTcpPorts=80;443;53\r\n",
      "z z z z z z z z z z z z z z z z z z z z",
      AllBytes(),
      std::string(5000, 'x') + "\r\n\xE4\xF6\xFC",
  };
  for (const std::int32_t seed : {ScrambleSeed, 0, -1, 1, 2147483647}) {
    for (const std::string& text : texts) {
      const std::string scrambled = Scramble(text, seed);
      EXPECT_EQ(scrambled.size(), text.size());
      EXPECT_EQ(Unscramble(scrambled, seed), text) << "seed " << seed;
    }
  }
}

TEST(ScrambleTextTest, BytesOutsideSpaceToLowerZStayAndShiftedOnesStayInRange) {
  const std::string untouched = "\r\n{|}~\x7F\x80\xC4\xFF\t\x01";
  EXPECT_EQ(Scramble(untouched), untouched);

  const std::string all = AllBytes();
  const std::string scrambled = Scramble(all);
  int changed = 0;
  for (int c = 0; c < 256; ++c) {
    const int out = static_cast<unsigned char>(scrambled[c]);
    if (c < 32 || c > 122) {
      EXPECT_EQ(out, c);
    } else {
      EXPECT_GE(out, 32);
      EXPECT_LE(out, 122);
      changed += out != c;
    }
  }
  EXPECT_GT(changed, 50);  // the shift really happens
}

TEST(ScrambleTextTest, OutOfRangeBytesDrawNoNumberAndEqualTextsGiveEqualBytes) {
  const std::string text = "Host=hotspot\r\nKey=secret";
  EXPECT_EQ(Scramble(text), Scramble(text));

  // Inserting a byte that is never shifted leaves every other byte's shift as it was.
  std::string withExtra = text;
  withExtra.insert(4, "\xE9");
  std::string scrambledWithExtra = Scramble(withExtra);
  EXPECT_EQ(scrambledWithExtra[4], '\xE9');
  scrambledWithExtra.erase(4, 1);
  EXPECT_EQ(scrambledWithExtra, Scramble(text));
}

TEST(ScrambleTextTest, LineBreaksKeepTheirOffsets) {
  const std::string text = "a=1\r\nbb=22\r\n\r\nccc=333\r\n";
  const std::string scrambled = Scramble(text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      EXPECT_EQ(scrambled[i], text[i]) << "offset " << i;
    }
  }
}

TEST(MessageCodecTest, NewMessageHoldsTheCodeAndIsPositionedAtItsEnd) {
  TMemoryStream message = NewMessage(28);
  ASSERT_EQ(message.Size(), 1u);
  EXPECT_EQ(message.Bytes()[0], 28);
  EXPECT_EQ(message.Position(), 1u);
}

TEST(MessageCodecTest, TextMessageCarriesTheCodeAndTheScrambledText) {
  const std::string text = "DisableP2P=0\r\nEnableUrlLog=-1\r\n";
  TMemoryStream message = NewTextMessage(text, kSettingsCode);
  ASSERT_EQ(message.Size(), text.size() + 1);
  EXPECT_EQ(message.Bytes()[0], kSettingsCode);
  EXPECT_EQ(std::string(message.Bytes().begin() + 1, message.Bytes().end()), Scramble(text));

  message.SetPosition(0);
  EXPECT_EQ(ReadMessageCode(message), kSettingsCode);
  EXPECT_EQ(ReadMessageText(message), text);
  EXPECT_EQ(message.Position(), message.Size());
}

TEST(MessageCodecTest, EmptyTextGivesTheCodeByteAlone) {
  TMemoryStream message = NewTextMessage("", 32);
  ASSERT_EQ(message.Size(), 1u);
  EXPECT_EQ(message.Bytes()[0], 32);
  message.SetPosition(0);
  EXPECT_EQ(ReadMessageCode(message), 32);
  EXPECT_EQ(ReadMessageText(message), "");
}

TEST(MessageCodecTest, ShortPayloadsReadAsNoCodeAndNoText) {
  TMemoryStream empty;
  EXPECT_EQ(ReadMessageCode(empty), 0);
  EXPECT_EQ(ReadMessageText(empty), "");

  TMemoryStream message = NewMessage(29);  // positioned at its end
  EXPECT_EQ(ReadMessageCode(message), 0);
  EXPECT_EQ(ReadMessageText(message), "");
}

TEST(MessageCodecTest, TextReadFromTheStartTakesTheCodeByteAsItsFirstCharacter) {
  TMemoryStream message = NewTextMessage("abc", 'Q');
  message.SetPosition(0);
  const std::string text = ReadMessageText(message);
  ASSERT_EQ(text.size(), 4u);
  // The code byte is unscrambled as if it were text, so it is no longer 'Q'
  // and the rest no longer decodes to "abc".
  EXPECT_NE(text.substr(1), "abc");
}

}  // namespace
}  // namespace zl
