// The observer that takes message boxes instead of the screen (tests), kept
// the same way by every backend.
#pragma once

#include <string>

#include "zl/platform/message_box.h"

namespace zl::platform::common {

// Hands the box to the observer when one is set; false when none is.
bool ObserveMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags);

}  // namespace zl::platform::common
