// The driver's control device through the I/O manager: CreateFile on the
// device's DOS name and synchronous DeviceIoControl.
#include "zl/platform/device_io.h"

#include <windows.h>

#include "text.h"

namespace zl::platform {
namespace {

thread_local std::uint32_t lastError = 0;

}  // namespace

DeviceHandle OpenDevice(const std::string& dosDeviceName) {
  HANDLE handle = CreateFileW(win32::Widen(dosDeviceName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    lastError = GetLastError();
    return kInvalidDevice;
  }
  return reinterpret_cast<DeviceHandle>(handle);
}

void CloseDevice(DeviceHandle device) {
  if (device != kInvalidDevice) CloseHandle(reinterpret_cast<HANDLE>(device));
}

bool DeviceIoControl(DeviceHandle device, std::uint32_t controlCode, const void* input, std::uint32_t inputLength,
                     void* output, std::uint32_t outputLength, std::uint32_t& bytesReturned) {
  DWORD returned = 0;
  const BOOL ok = ::DeviceIoControl(reinterpret_cast<HANDLE>(device), controlCode, const_cast<void*>(input),
                                    inputLength, output, outputLength, &returned, nullptr);
  if (!ok) {
    lastError = GetLastError();
    bytesReturned = 0;
    return false;
  }
  bytesReturned = returned;
  return true;
}

std::uint32_t LastDeviceError() { return lastError; }

}  // namespace zl::platform
