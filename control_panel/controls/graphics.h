// Pictures, fonts and rectangles as the skinned controls hold them, without a
// toolkit: a picture keeps its encoded bytes (PNG) and its size, the view
// decodes and paints it.
#pragma once

#include <cstdint>
#include <string>

namespace zl {

struct TBitmap {
  std::string Png;  // the encoded picture; empty for an empty bitmap
  int Width = 0;
  int Height = 0;

  bool Empty() const { return Png.empty(); }
  bool operator==(const TBitmap&) const = default;

  // The picture of PNG bytes, its size from the image header; an empty
  // bitmap when the bytes are not a PNG picture.
  static TBitmap FromPng(std::string png);
};

// An icon file's bytes, decoded by the view.
struct TIcon {
  std::string Bytes;
  bool Empty() const { return Bytes.empty(); }
  bool operator==(const TIcon&) const = default;
};

// 0x00BBGGRR, as the platform writes colours.
using TColor = std::uint32_t;
inline constexpr TColor clBlack = 0x000000;

struct TFont {
  std::string Name;  // empty: the toolkit's default face
  int Size = 8;      // points
  bool Bold = false;
  TColor Color = clBlack;
  bool operator==(const TFont&) const = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};

}  // namespace zl
