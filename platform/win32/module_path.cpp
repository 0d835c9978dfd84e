#include "module_path.h"

#include <windows.h>

#include <vector>

#include "text.h"

namespace zl::platform::win32 {

std::string ModulePath() {
  // GetModuleFileName truncates silently; grow the buffer until it fits.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return Narrow(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace zl::platform::win32
