// The IP helper and socket-library calls of the adapter and host queries.
// Addresses are 32-bit IPv4 numbers in network byte order, as inet_addr
// returns them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zl::platform {

inline constexpr std::uint32_t kInAddrNone = 0xFFFFFFFFu;

// One entry of the adapter-information list.
struct AdapterInfo {
  std::string adapterName;  // the adapter's GUID text in braces
  std::string description;
  std::vector<std::uint8_t> address;  // hardware address bytes
  std::uint32_t type = 0;             // 6 Ethernet, 71 IEEE 802.11, ...
  // IPv4 addresses, dotted; an adapter without one reports "0.0.0.0".
  std::vector<std::string> ipAddresses;
};

// The adapters in the platform's order. ERROR_SUCCESS, ERROR_NO_DATA when
// there is none, or the error that made the list unavailable.
std::uint32_t GetAdaptersInfo(std::vector<AdapterInfo>& adapters);

// inet_addr: dotted text to an address; kInAddrNone when it is not one.
std::uint32_t InetAddr(const std::string& text);
std::string InetNtoa(std::uint32_t address);

// SendARP: resolves the hardware address of `destination`. On entry `length`
// is the buffer's size; on return the number of bytes written.
std::uint32_t SendArp(std::uint32_t destination, std::uint32_t source, std::uint8_t* buffer, std::uint32_t& length);

// WSAStartup with the given version (0x0101 for 1.1); 0 on success.
int StartSocketLibrary(std::uint16_t version);
// gethostbyaddr for an IPv4 address: true and the host's name, or false.
bool GetHostByAddress(std::uint32_t address, std::string& name);

}  // namespace zl::platform
