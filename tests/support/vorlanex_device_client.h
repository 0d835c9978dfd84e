// One open handle on "\\.\VORLANEX" with the control requests the kernel
// host's and the service's tests make, in the driver's own layouts.
#pragma once

#include <cstdint>
#include <string>

#include "driver/control/vorlanex_interface.h"
#include "zl/platform/device_io.h"

namespace zl::test {

class DeviceClient {
 public:
  DeviceClient();
  ~DeviceClient();
  DeviceClient(const DeviceClient&) = delete;
  DeviceClient& operator=(const DeviceClient&) = delete;

  bool Open() const { return handle_ != zl::platform::kInvalidDevice; }
  void Close();
  // Sends one request; the platform error (0 on success).
  std::uint32_t Request(std::uint32_t code, const void* input, std::uint32_t inputLength, void* output,
                        std::uint32_t outputLength, std::uint32_t* bytes = nullptr);

  // The handle of the adapter whose device name ends in `guid`, or 0.
  std::uint64_t AdapterHandle(const std::string& guid);
  std::uint32_t SetMode(std::uint64_t adapter, std::uint32_t mode);
  std::uint32_t Mode(std::uint64_t adapter);
  std::uint32_t InstallPassTable();
  std::uint32_t TableSize();
  std::uint32_t SetPacketEvent(std::uint64_t adapter, std::intptr_t event);
  std::uint32_t ReadPacket(std::uint64_t adapter, zl::vorlanex::PacketRecord& record);

 private:
  zl::platform::DeviceHandle handle_;
};

}  // namespace zl::test
