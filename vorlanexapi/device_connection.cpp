#include "vorlanexapi/device_connection.h"

namespace zl::vorlanexapi {

platform::DeviceHandle OpenControlDevice(const std::string& driverName) {
  return platform::OpenDevice("\\\\.\\" + driverName);
}

DeviceChannel ChannelOf(platform::DeviceHandle device) {
  return [device](std::uint32_t code, const void* input, std::uint32_t inputLength, void* output,
                  std::uint32_t outputLength, std::uint32_t& bytesReturned) {
    return platform::DeviceIoControl(device, code, input, inputLength, output, outputLength, bytesReturned);
  };
}

}  // namespace zl::vorlanexapi
