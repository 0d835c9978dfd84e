// The payload of one message between control panel and service: a code byte,
// and for a text message the text, scrambled, running to the end of the
// payload (no length field, no terminator).
//
// Both programs carry this codec; they differ only in the code their text
// messages carry, which each passes to NewTextMessage (the control panel its
// settings code, the service its client address code). Readers accept any
// code: dispatching on it is the receiving program's business.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "shared/messaging/memory_stream.h"

namespace zl {

// The generator seed of every text on the link; both ends must agree on it.
inline constexpr std::int32_t ScrambleSeed = 603915274;

enum class ScrambleDirection { Scramble, Unscramble };

// Shifts each byte of 32..122 (space to "z") by a pseudo-random amount within
// that range; every other byte stays as it is and draws no number. The
// generator starts from `seed` on every call, so equal texts give equal bytes
// and unscrambling with the same seed restores the text.
std::string ScrambleText(std::string_view text, std::int32_t seed, ScrambleDirection direction);

// A payload of the code byte alone, positioned at its end.
TMemoryStream NewMessage(std::uint8_t code);
// The code byte followed by the text scrambled with ScrambleSeed.
TMemoryStream NewTextMessage(std::string_view text, std::uint8_t textCode);

// The byte at the position (advancing past it), or 0 when nothing is left.
std::uint8_t ReadMessageCode(TMemoryStream& stream);
// Everything from the position to the end, unscrambled; the position ends at
// the end. Empty when nothing is left.
std::string ReadMessageText(TMemoryStream& stream);

}  // namespace zl
