// Builds Ethernet + IPv4 + TCP/UDP frames with chosen fields for the engine's
// tests. Everything not chosen holds plausible values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zl::engine::test {

using Address = std::array<std::uint8_t, 4>;
using Mac = std::array<std::uint8_t, 6>;

inline constexpr Address kClient = {192, 168, 137, 23};
inline constexpr Address kHotspot = {192, 168, 137, 1};
inline constexpr Address kRemote = {93, 184, 216, 34};
inline constexpr Mac kClientMac = {0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0xEF};

struct FrameSpec {
  std::uint16_t etherType = 0x0800;
  std::uint8_t headerWords = 5;  // IHL
  std::uint8_t protocol = 6;
  Address source = kClient;
  Address destination = kRemote;
  std::uint16_t sourcePort = 50000;
  std::uint16_t destinationPort = 80;
  Mac sourceMac = kClientMac;
  std::string payload;
  // Bytes set last, at offsets from the frame's start.
  std::vector<std::pair<std::size_t, std::uint8_t>> patches;
};

std::vector<std::uint8_t> BuildFrame(const FrameSpec& spec);

// Shorthands for the common shapes.
FrameSpec TcpFrame(Address source, std::uint16_t sourcePort, Address destination, std::uint16_t destinationPort,
                   std::string payload = {});
FrameSpec UdpFrame(Address source, std::uint16_t sourcePort, Address destination, std::uint16_t destinationPort);
std::string HttpGet(const std::string& path, const std::string& host);

}  // namespace zl::engine::test
