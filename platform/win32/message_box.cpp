#include "zl/platform/message_box.h"

#include <windows.h>

#include <mutex>

#include "text.h"

namespace zl::platform {
namespace {

std::mutex observerLock;
MessageBoxObserver& Observer() {
  static MessageBoxObserver observer;
  return observer;
}

}  // namespace

void SetMessageBoxObserver(MessageBoxObserver observer) {
  std::lock_guard<std::mutex> guard(observerLock);
  Observer() = std::move(observer);
}

int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  {
    std::lock_guard<std::mutex> guard(observerLock);
    if (Observer()) {
      Observer()(text, caption, flags);
      return kIdOk;
    }
  }
  // No owner window: the box belongs to the thread and is shown in front.
  return MessageBoxW(nullptr, win32::Widen(text).c_str(), win32::Widen(caption).c_str(), flags | MB_SETFOREGROUND);
}

}  // namespace zl::platform
