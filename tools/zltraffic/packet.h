// Ethernet frames as simulated hotspot clients and the simulated Internet
// exchange them: ARP, and IPv4 carrying UDP or TCP, built with correct
// lengths and checksums, and read back into their fields.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zl::traffic {

using Bytes = std::vector<std::uint8_t>;
using Mac = std::array<std::uint8_t, 6>;
using Ipv4 = std::array<std::uint8_t, 4>;

inline constexpr Mac kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
inline constexpr std::uint16_t kEtherTypeIpv4 = 0x0800;
inline constexpr std::uint16_t kEtherTypeArp = 0x0806;
inline constexpr std::uint8_t kProtocolTcp = 6;
inline constexpr std::uint8_t kProtocolUdp = 17;

// TCP flag bits.
inline constexpr std::uint8_t kFin = 0x01;
inline constexpr std::uint8_t kSyn = 0x02;
inline constexpr std::uint8_t kPsh = 0x08;
inline constexpr std::uint8_t kAck = 0x10;

inline constexpr std::uint16_t kArpRequest = 1;
inline constexpr std::uint16_t kArpReply = 2;

std::string FormatMac(const Mac& mac);  // "02-5A-00-00-00-01"
std::string FormatIpv4(const Ipv4& address);
std::optional<Ipv4> ParseIpv4(const std::string& text);

struct ArpMessage {
  std::uint16_t operation = kArpRequest;
  Mac senderMac{};
  Ipv4 senderIp{};
  Mac targetMac{};
  Ipv4 targetIp{};
};

// A UDP datagram or TCP segment with the addresses it travels between.
struct Segment {
  Mac sourceMac{};
  Mac destinationMac{};
  Ipv4 source{};
  Ipv4 destination{};
  std::uint8_t protocol = kProtocolTcp;
  std::uint16_t sourcePort = 0;
  std::uint16_t destinationPort = 0;
  // TCP only.
  std::uint32_t sequence = 0;
  std::uint32_t acknowledgement = 0;
  std::uint8_t flags = 0;
  Bytes payload;
};

// An ARP message in a broadcast (request) or unicast (reply) frame.
Bytes BuildArpFrame(const ArpMessage& arp, const Mac& destination);
Bytes BuildSegmentFrame(const Segment& segment);

struct ParsedFrame {
  Mac destinationMac{};
  Mac sourceMac{};
  std::uint16_t etherType = 0;
  std::optional<ArpMessage> arp;
  std::optional<Segment> segment;  // IPv4 TCP or UDP whose lengths hold together
};

// Reads what the frame holds; an unknown or damaged payload leaves arp and
// segment empty (a short frame gives etherType 0).
ParsedFrame ParseFrame(const Bytes& frame);

// Whether the IPv4 header checksum and the UDP or TCP checksum of an IPv4
// frame hold; true for other frames.
bool ChecksumsHold(const Bytes& frame);

// The Internet checksum (ones' complement sum) over the bytes.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length, std::uint32_t initial = 0);

}  // namespace zl::traffic
