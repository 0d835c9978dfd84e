// A modal message box with an OK button.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zl::platform {

inline constexpr std::uint32_t kMessageBoxOk = 0x00;
inline constexpr std::uint32_t kMessageBoxIconWarning = 0x30;
inline constexpr std::uint32_t kMessageBoxIconInformation = 0x40;
inline constexpr int kIdOk = 1;

// Shows the box and returns the button chosen (kIdOk).
int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags);

// Where a box goes instead of the screen while set (tests; null restores).
using MessageBoxObserver = std::function<void(const std::string& text, const std::string& caption, std::uint32_t flags)>;
void SetMessageBoxObserver(MessageBoxObserver observer);

}  // namespace zl::platform
