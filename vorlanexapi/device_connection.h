// The library's channel to the control device over the platform's device
// calls: one open of "\\.\" + driver name per driver handle.
#pragma once

#include <string>

#include "vorlanexapi/device_channel.h"
#include "zl/platform/device_io.h"

namespace zl::vorlanexapi {

platform::DeviceHandle OpenControlDevice(const std::string& driverName);
DeviceChannel ChannelOf(platform::DeviceHandle device);

}  // namespace zl::vorlanexapi
