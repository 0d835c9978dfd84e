#include "zl/platform/clock_rate.h"

namespace zl::platform {

// A real Windows machine has only real time.
std::uint32_t MachineClockRate() { return 1; }

}  // namespace zl::platform
