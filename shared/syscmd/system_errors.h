// The errors the system commands raise to their callers.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zl::syscmd {

// A platform call failed; `Code` is the platform's error number.
class PlatformError : public std::runtime_error {
 public:
  PlatformError(const std::string& message, std::uint32_t code)
      : std::runtime_error(message + " (error " + std::to_string(code) + ")"), Code(code) {}
  std::uint32_t Code;
};

// A registry key or value could not be read or written.
class RegistryError : public PlatformError {
 public:
  using PlatformError::PlatformError;
};

}  // namespace zl::syscmd
