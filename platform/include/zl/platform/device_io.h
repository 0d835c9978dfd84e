// A driver's control device as a user-mode program reaches it: opened by its
// DOS name ("\\.\VORLANEX"), sent control requests with an input and an
// output buffer (the request's own layout decides what they hold; pointers
// inside an input are addresses of the calling process), and closed. One
// open handle is one open of the device for the driver.
#pragma once

#include <cstdint>
#include <string>

namespace zl::platform {

using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle kInvalidDevice = -1;

// kInvalidDevice when the device does not exist or cannot be opened; the
// reason is in LastDeviceError().
DeviceHandle OpenDevice(const std::string& dosDeviceName);
void CloseDevice(DeviceHandle device);

// Sends one control request and waits for its completion. True when the
// driver completed it with success; `bytesReturned` is what the driver
// reported written to `output` (0 on failure).
bool DeviceIoControl(DeviceHandle device, std::uint32_t controlCode, const void* input, std::uint32_t inputLength,
                     void* output, std::uint32_t outputLength, std::uint32_t& bytesReturned);

// The platform error code (Windows numbering) of the calling thread's last
// failed device call.
std::uint32_t LastDeviceError();

}  // namespace zl::platform
