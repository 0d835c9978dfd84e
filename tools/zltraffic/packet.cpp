#include "tools/zltraffic/packet.h"

#include <cstdio>

namespace zl::traffic {
namespace {

constexpr std::size_t kEthernetHeader = 14;
constexpr std::size_t kIpv4Header = 20;
constexpr std::size_t kUdpHeader = 8;
constexpr std::size_t kTcpHeader = 20;
constexpr std::size_t kMinimumFrame = 60;  // without the frame check sequence

void Put16(Bytes& out, std::size_t at, std::uint16_t value) {
  out[at] = std::uint8_t(value >> 8);
  out[at + 1] = std::uint8_t(value);
}

void Put32(Bytes& out, std::size_t at, std::uint32_t value) {
  Put16(out, at, std::uint16_t(value >> 16));
  Put16(out, at + 2, std::uint16_t(value));
}

std::uint16_t Get16(const Bytes& in, std::size_t at) { return std::uint16_t(in[at] << 8 | in[at + 1]); }

std::uint32_t Get32(const Bytes& in, std::size_t at) { return std::uint32_t(Get16(in, at)) << 16 | Get16(in, at + 2); }

template <std::size_t N>
void PutArray(Bytes& out, std::size_t at, const std::array<std::uint8_t, N>& value) {
  for (std::size_t i = 0; i < N; ++i) out[at + i] = value[i];
}

template <std::size_t N>
std::array<std::uint8_t, N> GetArray(const Bytes& in, std::size_t at) {
  std::array<std::uint8_t, N> value{};
  for (std::size_t i = 0; i < N; ++i) value[i] = in[at + i];
  return value;
}

void PutEthernet(Bytes& out, const Mac& destination, const Mac& source, std::uint16_t etherType) {
  PutArray(out, 0, destination);
  PutArray(out, 6, source);
  Put16(out, 12, etherType);
}

// The pseudo-header's share of a UDP or TCP checksum.
std::uint32_t PseudoHeaderSum(const Ipv4& source, const Ipv4& destination, std::uint8_t protocol, std::size_t length) {
  std::uint32_t sum = 0;
  sum += std::uint32_t(source[0] << 8 | source[1]) + std::uint32_t(source[2] << 8 | source[3]);
  sum += std::uint32_t(destination[0] << 8 | destination[1]) + std::uint32_t(destination[2] << 8 | destination[3]);
  sum += protocol;
  sum += std::uint32_t(length);
  return sum;
}

}  // namespace

std::string FormatMac(const Mac& mac) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
  return text;
}

std::string FormatIpv4(const Ipv4& address) {
  return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." + std::to_string(address[2]) + "." +
         std::to_string(address[3]);
}

std::optional<Ipv4> ParseIpv4(const std::string& text) {
  Ipv4 address{};
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return std::nullopt;
      ++at;
    }
    unsigned value = 0;
    std::size_t digits = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 3) {
      value = value * 10 + unsigned(text[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || value > 255) return std::nullopt;
    address[std::size_t(part)] = std::uint8_t(value);
  }
  if (at != text.size()) return std::nullopt;
  return address;
}

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t length, std::uint32_t initial) {
  std::uint32_t sum = initial;
  for (std::size_t i = 0; i + 1 < length; i += 2) sum += std::uint32_t(data[i] << 8 | data[i + 1]);
  if (length % 2) sum += std::uint32_t(data[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return std::uint16_t(~sum);
}

Bytes BuildArpFrame(const ArpMessage& arp, const Mac& destination) {
  Bytes frame(kMinimumFrame, 0);
  PutEthernet(frame, destination, arp.senderMac, kEtherTypeArp);
  Put16(frame, 14, 1);       // hardware: Ethernet
  Put16(frame, 16, 0x0800);  // protocol: IPv4
  frame[18] = 6;
  frame[19] = 4;
  Put16(frame, 20, arp.operation);
  PutArray(frame, 22, arp.senderMac);
  PutArray(frame, 28, arp.senderIp);
  PutArray(frame, 32, arp.targetMac);
  PutArray(frame, 38, arp.targetIp);
  return frame;
}

Bytes BuildSegmentFrame(const Segment& s) {
  const bool tcp = s.protocol == kProtocolTcp;
  const std::size_t transportHeader = tcp ? kTcpHeader : kUdpHeader;
  const std::size_t transportLength = transportHeader + s.payload.size();
  const std::size_t ipLength = kIpv4Header + transportLength;
  Bytes frame(std::max(kEthernetHeader + ipLength, kMinimumFrame), 0);
  PutEthernet(frame, s.destinationMac, s.sourceMac, kEtherTypeIpv4);

  const std::size_t ip = kEthernetHeader;
  frame[ip] = 0x45;
  Put16(frame, ip + 2, std::uint16_t(ipLength));
  Put16(frame, ip + 4, std::uint16_t(s.sequence ^ s.sourcePort));  // identification
  Put16(frame, ip + 6, 0x4000);                                    // don't fragment
  frame[ip + 8] = 64;
  frame[ip + 9] = s.protocol;
  PutArray(frame, ip + 12, s.source);
  PutArray(frame, ip + 16, s.destination);
  Put16(frame, ip + 10, InternetChecksum(frame.data() + ip, kIpv4Header));

  const std::size_t t = ip + kIpv4Header;
  Put16(frame, t, s.sourcePort);
  Put16(frame, t + 2, s.destinationPort);
  if (tcp) {
    Put32(frame, t + 4, s.sequence);
    Put32(frame, t + 8, s.acknowledgement);
    frame[t + 12] = std::uint8_t((kTcpHeader / 4) << 4);
    frame[t + 13] = s.flags;
    Put16(frame, t + 14, 65535);  // window
  } else {
    Put16(frame, t + 4, std::uint16_t(transportLength));
  }
  for (std::size_t i = 0; i < s.payload.size(); ++i) frame[t + transportHeader + i] = s.payload[i];
  std::uint16_t checksum = InternetChecksum(frame.data() + t, transportLength,
                                            PseudoHeaderSum(s.source, s.destination, s.protocol, transportLength));
  if (!tcp && checksum == 0) checksum = 0xFFFF;  // 0 means "no checksum" in UDP
  Put16(frame, t + (tcp ? 16 : 6), checksum);
  return frame;
}

bool ChecksumsHold(const Bytes& frame) {
  if (frame.size() < kEthernetHeader + kIpv4Header || Get16(frame, 12) != kEtherTypeIpv4) return true;
  const std::size_t ip = kEthernetHeader;
  const std::size_t headerLength = std::size_t(frame[ip] & 0x0F) * 4;
  const std::size_t totalLength = Get16(frame, ip + 2);
  if (headerLength < kIpv4Header || totalLength < headerLength || ip + totalLength > frame.size()) return false;
  if (InternetChecksum(frame.data() + ip, headerLength) != 0) return false;
  const std::uint8_t protocol = frame[ip + 9];
  if (protocol != kProtocolTcp && protocol != kProtocolUdp) return true;
  const std::size_t t = ip + headerLength;
  const std::size_t length = totalLength - headerLength;
  if (protocol == kProtocolUdp && length >= kUdpHeader && Get16(frame, t + 6) == 0) return true;  // no checksum
  const Ipv4 source = GetArray<4>(frame, ip + 12), destination = GetArray<4>(frame, ip + 16);
  return InternetChecksum(frame.data() + t, length, PseudoHeaderSum(source, destination, protocol, length)) == 0;
}

ParsedFrame ParseFrame(const Bytes& frame) {
  ParsedFrame parsed;
  if (frame.size() < kEthernetHeader) return parsed;
  parsed.destinationMac = GetArray<6>(frame, 0);
  parsed.sourceMac = GetArray<6>(frame, 6);
  parsed.etherType = Get16(frame, 12);

  if (parsed.etherType == kEtherTypeArp) {
    if (frame.size() < 42 || Get16(frame, 14) != 1 || Get16(frame, 16) != 0x0800 || frame[18] != 6 || frame[19] != 4) {
      return parsed;
    }
    ArpMessage arp;
    arp.operation = Get16(frame, 20);
    arp.senderMac = GetArray<6>(frame, 22);
    arp.senderIp = GetArray<4>(frame, 28);
    arp.targetMac = GetArray<6>(frame, 32);
    arp.targetIp = GetArray<4>(frame, 38);
    parsed.arp = arp;
    return parsed;
  }
  if (parsed.etherType != kEtherTypeIpv4 || frame.size() < kEthernetHeader + kIpv4Header) return parsed;

  const std::size_t ip = kEthernetHeader;
  const std::size_t headerLength = std::size_t(frame[ip] & 0x0F) * 4;
  const std::size_t totalLength = Get16(frame, ip + 2);
  if (frame[ip] >> 4 != 4 || headerLength < kIpv4Header || totalLength < headerLength ||
      ip + totalLength > frame.size()) {
    return parsed;
  }
  const std::uint8_t protocol = frame[ip + 9];
  if (protocol != kProtocolTcp && protocol != kProtocolUdp) return parsed;
  if ((Get16(frame, ip + 6) & 0x1FFF) != 0) return parsed;  // a later fragment has no ports

  Segment s;
  s.sourceMac = parsed.sourceMac;
  s.destinationMac = parsed.destinationMac;
  s.source = GetArray<4>(frame, ip + 12);
  s.destination = GetArray<4>(frame, ip + 16);
  s.protocol = protocol;
  const std::size_t t = ip + headerLength;
  const std::size_t end = ip + totalLength;
  std::size_t payloadAt = 0;
  if (protocol == kProtocolTcp) {
    if (end < t + kTcpHeader) return parsed;
    const std::size_t dataOffset = std::size_t(frame[t + 12] >> 4) * 4;
    if (dataOffset < kTcpHeader || t + dataOffset > end) return parsed;
    s.sequence = Get32(frame, t + 4);
    s.acknowledgement = Get32(frame, t + 8);
    s.flags = frame[t + 13];
    payloadAt = t + dataOffset;
  } else {
    if (end < t + kUdpHeader) return parsed;
    payloadAt = t + kUdpHeader;
  }
  s.sourcePort = Get16(frame, t);
  s.destinationPort = Get16(frame, t + 2);
  s.payload.assign(frame.begin() + std::ptrdiff_t(payloadAt), frame.begin() + std::ptrdiff_t(end));
  parsed.segment = std::move(s);
  return parsed;
}

}  // namespace zl::traffic
