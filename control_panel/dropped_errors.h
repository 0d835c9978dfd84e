// The window's application-wide error handler does nothing: an error that
// escapes an event handler is dropped without a dialog and the event loop
// goes on. DropErrors is that handler at each place an event enters the
// window.
#pragma once

#include <utility>

namespace zl::panel {

template <typename Handler>
void DropErrors(Handler&& handler) noexcept {
  try {
    std::forward<Handler>(handler)();
  } catch (...) {
  }
}

}  // namespace zl::panel
