// The message codec over arbitrary texts and payloads: scrambling round trips
// both ways, keeps the length, leaves bytes outside 32..122 alone and keeps
// the others inside that range; a prefix scrambles to a prefix; a text
// message reads back as its code and text; any payload reads as its first
// byte (0 when empty) and the unscrambled rest.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "shared/messaging/message_codec.h"

namespace {

bool InRange(unsigned char c) { return c >= 32 && c <= 122; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zl::ScrambleDirection;
  zl::fuzz::InputReader input(data, size);
  const std::int32_t seed = input.Take<std::int32_t>();
  const std::uint8_t code = input.Byte();
  const std::span<const std::uint8_t> rest = input.Rest();
  const std::string_view text = zl::fuzz::AsText(rest);

  for (const std::int32_t s : {seed, zl::ScrambleSeed}) {
    const std::string scrambled = zl::ScrambleText(text, s, ScrambleDirection::Scramble);
    const std::string unscrambled = zl::ScrambleText(text, s, ScrambleDirection::Unscramble);
    ZL_FUZZ_CHECK(scrambled.size() == text.size() && unscrambled.size() == text.size());
    ZL_FUZZ_CHECK(zl::ScrambleText(scrambled, s, ScrambleDirection::Unscramble) == text);
    ZL_FUZZ_CHECK(zl::ScrambleText(unscrambled, s, ScrambleDirection::Scramble) == text);
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto original = static_cast<unsigned char>(text[i]);
      const auto changed = static_cast<unsigned char>(scrambled[i]);
      ZL_FUZZ_CHECK(InRange(original) ? InRange(changed) : changed == original);
    }
    const std::string_view head = text.substr(0, text.size() / 2);
    ZL_FUZZ_CHECK(std::string_view(scrambled).starts_with(zl::ScrambleText(head, s, ScrambleDirection::Scramble)));
  }

  zl::TMemoryStream message = zl::NewTextMessage(text, code);
  ZL_FUZZ_CHECK(message.Size() == text.size() + 1 && message.Position() == message.Size());
  message.SetPosition(0);
  ZL_FUZZ_CHECK(zl::ReadMessageCode(message) == code);
  ZL_FUZZ_CHECK(zl::ReadMessageText(message) == text);
  ZL_FUZZ_CHECK(message.Position() == message.Size());
  ZL_FUZZ_CHECK(zl::ReadMessageCode(message) == 0 && zl::ReadMessageText(message).empty());

  zl::TMemoryStream bare = zl::NewMessage(code);
  ZL_FUZZ_CHECK(bare.Size() == 1 && bare.Position() == 1);

  // The whole input as a payload that arrived from the peer.
  zl::TMemoryStream payload(std::span<const std::uint8_t>(data, size));
  const std::uint8_t readCode = zl::ReadMessageCode(payload);
  ZL_FUZZ_CHECK(readCode == (size > 0 ? data[0] : 0));
  const std::string readText = zl::ReadMessageText(payload);
  const std::string_view after = size > 0 ? zl::fuzz::AsText({data + 1, size - 1}) : std::string_view();
  ZL_FUZZ_CHECK(readText == zl::ScrambleText(after, zl::ScrambleSeed, ScrambleDirection::Unscramble));
  return 0;
}
