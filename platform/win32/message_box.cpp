#include "zl/platform/message_box.h"

#include <windows.h>

#include "common/message_box_observer.h"
#include "text.h"

namespace zl::platform {

int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  if (common::ObserveMessageBox(text, caption, flags)) return kIdOk;
  // No owner window: the box belongs to the thread and is shown in front.
  return MessageBoxW(nullptr, win32::Widen(text).c_str(), win32::Widen(caption).c_str(), flags | MB_SETFOREGROUND);
}

}  // namespace zl::platform
