#include "shared/messaging/message_codec.h"

namespace zl {
namespace {

constexpr int kFirstShifted = 32;   // space
constexpr int kLastShifted = 122;   // "z"
constexpr int kShiftedCount = kLastShifted - kFirstShifted + 1;  // 91
constexpr std::uint32_t kGeneratorFactor = 134775813;
constexpr std::uint64_t kDrawRange = 90;

}  // namespace

std::string ScrambleText(std::string_view text, std::int32_t seed, ScrambleDirection direction) {
  std::uint32_t state = static_cast<std::uint32_t>(seed);
  const int sign = direction == ScrambleDirection::Scramble ? 1 : -1;
  std::string result(text);
  for (char& ch : result) {
    const int c = static_cast<unsigned char>(ch);
    if (c < kFirstShifted || c > kLastShifted) continue;
    state = state * kGeneratorFactor + 1;  // modulo 2^32 by unsigned wrap-around
    const int draw = static_cast<int>((static_cast<std::uint64_t>(state) * kDrawRange) >> 32);
    int d = c + sign * draw;
    if (d < kFirstShifted || d > kLastShifted) d -= sign * kShiftedCount;
    ch = static_cast<char>(static_cast<unsigned char>(d));
  }
  return result;
}

TMemoryStream NewMessage(std::uint8_t code) {
  TMemoryStream stream;
  stream.Write(&code, 1);
  return stream;
}

TMemoryStream NewTextMessage(std::string_view text, std::uint8_t textCode) {
  TMemoryStream stream = NewMessage(textCode);
  const std::string scrambled = ScrambleText(text, ScrambleSeed, ScrambleDirection::Scramble);
  stream.Write(scrambled.data(), scrambled.size());
  return stream;
}

std::uint8_t ReadMessageCode(TMemoryStream& stream) {
  std::uint8_t code = 0;
  stream.Read(&code, 1);
  return code;
}

std::string ReadMessageText(TMemoryStream& stream) {
  const std::size_t position = stream.Position();
  if (position >= stream.Size()) return {};
  std::string text(stream.Size() - position, '\0');
  stream.Read(text.data(), text.size());
  return ScrambleText(text, ScrambleSeed, ScrambleDirection::Unscramble);
}

}  // namespace zl
