#include "control_panel/controls/graphics.h"

namespace zl {
namespace {

constexpr char kPngSignature[] = "\x89PNG\r\n\x1A\n";

std::uint32_t BigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace

TBitmap TBitmap::FromPng(std::string png) {
  // Signature, then the IHDR chunk: length, "IHDR", width, height.
  if (png.size() < 24 || png.compare(0, 8, kPngSignature, 8) != 0 || png.compare(12, 4, "IHDR") != 0) return {};
  const std::uint32_t width = BigEndian(png, 16);
  const std::uint32_t height = BigEndian(png, 20);
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return {};
  TBitmap bitmap;
  bitmap.Width = static_cast<int>(width);
  bitmap.Height = static_cast<int>(height);
  bitmap.Png = std::move(png);
  return bitmap;
}

}  // namespace zl
