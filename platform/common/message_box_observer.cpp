#include "message_box_observer.h"

#include <mutex>

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

namespace common {

bool ObserveMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  std::lock_guard<std::mutex> guard(observerLock);
  if (!Observer()) return false;
  Observer()(text, caption, flags);
  return true;
}

}  // namespace common
}  // namespace zl::platform
