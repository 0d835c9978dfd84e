#include "shared/messaging/frame_format.h"

#include <algorithm>

namespace zl {
namespace {

constexpr std::array<std::uint8_t, kFrameMarkerSize> MakeFrameMarker() {
  constexpr char kText[] = "{0231F7AF-951B-4342-BB3E-3EB7B220C855}";
  static_assert(sizeof kText - 1 == kFrameMarkerSize - 1);
  std::array<std::uint8_t, kFrameMarkerSize> marker{};
  marker[0] = static_cast<std::uint8_t>(kFrameMarkerSize - 1);
  for (std::size_t i = 0; i + 1 < kFrameMarkerSize; ++i) marker[i + 1] = static_cast<std::uint8_t>(kText[i]);
  return marker;
}

}  // namespace

const std::array<std::uint8_t, kFrameMarkerSize> FrameMarker = MakeFrameMarker();

TMemoryStream BuildFrame(const TMemoryStream& payload) {
  TMemoryStream frame;
  frame.Write(FrameMarker);
  auto length = static_cast<std::uint64_t>(payload.Size());
  std::uint8_t lengthBytes[8];
  for (std::uint8_t& byte : lengthBytes) {
    byte = static_cast<std::uint8_t>(length & 0xFF);
    length >>= 8;
  }
  frame.Write(lengthBytes, sizeof lengthBytes);
  frame.Write(payload.Bytes());
  frame.SetPosition(0);
  return frame;
}

bool StartsWithFrameMarker(std::span<const std::uint8_t> header) {
  return header.size() >= kFrameMarkerSize && std::equal(FrameMarker.begin(), FrameMarker.end(), header.begin());
}

std::int64_t ReadPayloadLength(std::span<const std::uint8_t> header) {
  std::uint64_t length = 0;
  for (std::size_t i = 0; i < 8; ++i) length |= static_cast<std::uint64_t>(header[kFrameMarkerSize + i]) << (8 * i);
  return static_cast<std::int64_t>(length);
}

}  // namespace zl
