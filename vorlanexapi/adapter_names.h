// The names a user knows an adapter by, from the device name the driver's
// adapter list gives ("\DEVICE\{GUID}"):
// - Windows 2000 and later: the network connection's name ("LAN-Verbindung"),
//   kept under the network class key for the adapter's GUID;
// - Windows NT 4 and Windows 9x, which have no connection names: the last
//   component of the device name, the adapter's own name in those systems.
// Each answers false, and writes nothing, when there is no such name or it
// does not fit into `size` bytes with its terminating NUL.
#pragma once

#include <cstdint>

namespace zl::vorlanexapi {

bool ConnectionNameOf(const char* deviceName, char* name, std::uint32_t size);
bool DeviceComponentOf(const char* deviceName, char* name, std::uint32_t size);

}  // namespace zl::vorlanexapi
