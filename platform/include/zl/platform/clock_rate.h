// How many times faster than real time the machine's programs let their time
// pass. A real machine runs at 1. An emulated machine can be set faster, so
// that the programs' long periods (20-second reports, 60-second silences,
// 5-second pauses) pass quickly in a demo or an end-to-end run, while every
// timer still fires in its order.
#pragma once

#include <cstdint>

namespace zl::platform {

inline constexpr std::uint32_t kMaxClockRate = 1000;

// The machine's clock rate, 1 to kMaxClockRate: 1 when none is set, the
// setting cannot be read, or on a real machine.
std::uint32_t MachineClockRate();

}  // namespace zl::platform
