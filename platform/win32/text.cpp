#include "text.h"

#include <windows.h>

namespace zl::platform::win32 {

namespace {
constexpr UINT kCodePage = 1252;
}

std::wstring Widen(const std::string& cp1252) {
  if (cp1252.empty()) return {};
  const int length = MultiByteToWideChar(kCodePage, 0, cp1252.data(), static_cast<int>(cp1252.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(kCodePage, 0, cp1252.data(), static_cast<int>(cp1252.size()), wide.data(), length);
  return wide;
}

std::string Narrow(const wchar_t* utf16, std::size_t length) {
  if (length == 0) return {};
  const int size = WideCharToMultiByte(kCodePage, 0, utf16, static_cast<int>(length), nullptr, 0, "?", nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(kCodePage, 0, utf16, static_cast<int>(length), narrow.data(), size, "?", nullptr);
  return narrow;
}

std::string Narrow(const std::wstring& utf16) { return Narrow(utf16.data(), utf16.size()); }

}  // namespace zl::platform::win32
