#include "service/engine/frame_judgement.h"

#include "service/engine/address_text.h"

namespace zl::engine {
namespace {

// Offsets from the first byte of the frame; multi-byte fields are big-endian.
constexpr std::size_t kSourceMacOffset = 6;
constexpr std::size_t kEtherTypeOffset = 12;
constexpr std::size_t kIpHeaderOffset = 14;  // low 4 bits: header length in 32-bit words
constexpr std::size_t kProtocolOffset = 23;
constexpr std::size_t kSourceAddressOffset = 26;
constexpr std::size_t kDestinationAddressOffset = 30;
constexpr std::size_t kAddressesEnd = 34;  // covers EtherType and protocol as well

constexpr std::uint16_t kEtherTypeIPv4 = 0x0800;
constexpr std::uint8_t kProtocolTcp = 6;
constexpr std::uint8_t kProtocolUdp = 17;
constexpr std::uint16_t kHttpPort = 80;

constexpr std::uint32_t ParseDottedAddress(std::string_view text) {
  std::uint32_t address = 0;
  std::uint32_t part = 0;
  for (char c : text) {
    if (c == '.') {
      address = address << 8 | part;
      part = 0;
    } else {
      part = part * 10 + static_cast<std::uint32_t>(c - '0');
    }
  }
  return address << 8 | part;
}

constexpr std::uint32_t kHotspotAddressValue = ParseDottedAddress(HotspotAddress);
static_assert(kHotspotAddressValue == 0xC0A88901u);

std::uint16_t ReadUint16(const std::uint8_t* p) noexcept { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

std::uint32_t ReadUint32(const std::uint8_t* p) noexcept {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void NoteAddresses(const std::uint8_t* frame, ClientAddressNoter& addresses) noexcept {
  try {
    IPv4Text destination;
    IPv4Text source;
    addresses.NoteClientAddresses(FormatIPv4Address(frame + kDestinationAddressOffset, destination),
                                  FormatIPv4Address(frame + kSourceAddressOffset, source));
  } catch (...) {
    // A failed noting loses these addresses for one report, nothing more.
  }
}

void HandToUrlLog(const std::uint8_t* frame, std::size_t length, UrlLogCandidates& urlLog) noexcept {
  try {
    MacText mac;
    urlLog.LogRequestUrl(FormatMacAddress(frame + kSourceMacOffset, mac), frame, length);
  } catch (...) {
    // The request goes unlogged; the frame keeps its verdict.
  }
}

Verdict FromAllowed(bool allowed) noexcept { return allowed ? Verdict::Pass : Verdict::Drop; }

}  // namespace

Verdict JudgeFrame(const std::uint8_t* frame, std::size_t length, std::uint32_t direction, const FilterRules& rules,
                   ClientAddressNoter& addresses, UrlLogCandidates& urlLog) noexcept {
  if (length < kAddressesEnd) return Verdict::Pass;
  if (ReadUint16(frame + kEtherTypeOffset) != kEtherTypeIPv4) return Verdict::Pass;
  const std::uint8_t protocol = frame[kProtocolOffset];
  if (protocol != kProtocolTcp && protocol != kProtocolUdp) return Verdict::Pass;
  const bool tcp = protocol == kProtocolTcp;

  NoteAddresses(frame, addresses);

  const std::size_t sourcePortOffset = kIpHeaderOffset + 4u * (frame[kIpHeaderOffset] & 0x0Fu);
  const std::size_t destinationPortOffset = sourcePortOffset + 2;

  if (direction == DIRECTION_OUTBOUND) {
    // Towards a client: the port of the far side is the source port.
    if (ReadUint32(frame + kSourceAddressOffset) == kHotspotAddressValue) return Verdict::Pass;
    if (length < sourcePortOffset + 2) return Verdict::Pass;
    const std::uint16_t port = ReadUint16(frame + sourcePortOffset);
    return FromAllowed(tcp ? TcpPortAllowed(rules, port) : UdpPortAllowed(rules, port));
  }

  // From a client: the destination port decides.
  if (ReadUint32(frame + kDestinationAddressOffset) == kHotspotAddressValue) return Verdict::Pass;
  if (length < destinationPortOffset + 2) return Verdict::Pass;
  const std::uint16_t port = ReadUint16(frame + destinationPortOffset);
  const bool allowed = tcp ? TcpPortAllowed(rules, port) : UdpPortAllowed(rules, port);
  if (tcp && allowed && port == kHttpPort && rules.EnableUrlLog) HandToUrlLog(frame, length, urlLog);
  return FromAllowed(allowed);
}

}  // namespace zl::engine
