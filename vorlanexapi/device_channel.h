// How a client session reaches the driver's control device: one control
// request with an input and an output buffer, answered with success or
// failure and the bytes the driver reported. The library's exports use the
// platform's device calls; tests put an in-process kernel host behind it.
#pragma once

#include <cstdint>
#include <functional>

namespace zl::vorlanexapi {

using DeviceChannel = std::function<bool(std::uint32_t controlCode, const void* input, std::uint32_t inputLength,
                                         void* output, std::uint32_t outputLength, std::uint32_t& bytesReturned)>;

}  // namespace zl::vorlanexapi
