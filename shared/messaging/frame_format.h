// The frame that carries one payload over a connection: the 39-byte
// FrameMarker (a length byte 38 and the marker text), the payload length as a
// signed 64-bit little-endian number, then the payload. No trailer, no
// checksum; frames follow each other directly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "shared/messaging/memory_stream.h"

namespace zl {

inline constexpr std::size_t kFrameMarkerSize = 39;
inline constexpr std::size_t kFrameHeaderSize = kFrameMarkerSize + 8;

// Length byte 0x26 followed by "{0231F7AF-951B-4342-BB3E-3EB7B220C855}".
extern const std::array<std::uint8_t, kFrameMarkerSize> FrameMarker;

// A peer announcing more than this is treated as sending garbage: we never
// buffer an unbounded amount for one frame. Real payloads are a few kilobytes.
inline constexpr std::int64_t kMaxFramePayloadLength = 1024 * 1024;

// The whole payload (from offset 0, whatever its position) framed, positioned at 0.
TMemoryStream BuildFrame(const TMemoryStream& payload);

// Whether `header` (at least kFrameHeaderSize bytes) starts with FrameMarker,
// and the payload length it announces.
bool StartsWithFrameMarker(std::span<const std::uint8_t> header);
std::int64_t ReadPayloadLength(std::span<const std::uint8_t> header);

}  // namespace zl
