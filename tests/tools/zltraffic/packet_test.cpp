// Frames of the simulated clients: what is built reads back field by field,
// carries valid checksums, and damaged frames are not taken for segments.
#include "tools/zltraffic/packet.h"

#include <gtest/gtest.h>

namespace zl::traffic {
namespace {

constexpr Mac kClientMac = {0x02, 0x5A, 0, 0, 0, 7};
constexpr Mac kHotspotMac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};

Segment Example(std::uint8_t protocol, std::size_t payloadSize) {
  Segment s;
  s.sourceMac = kClientMac;
  s.destinationMac = kHotspotMac;
  s.source = {192, 168, 137, 17};
  s.destination = {203, 0, 113, 9};
  s.protocol = protocol;
  s.sourcePort = 50123;
  s.destinationPort = protocol == kProtocolTcp ? 80 : 53;
  if (protocol == kProtocolTcp) {
    s.sequence = 0xDEADBEEF;
    s.acknowledgement = 0x01020304;
    s.flags = kAck | kPsh;
  }
  for (std::size_t i = 0; i < payloadSize; ++i) s.payload.push_back(std::uint8_t(i * 31 + 7));
  return s;
}

// Sum over the transport header and payload with the pseudo-header: 0 when valid.
std::uint16_t TransportChecksumCheck(const Bytes& frame) {
  const std::size_t ip = 14;
  const std::size_t total = std::size_t(frame[ip + 2] << 8 | frame[ip + 3]);
  const std::size_t length = total - 20;
  std::uint32_t pseudo = 0;
  for (std::size_t i = 12; i < 20; i += 2) pseudo += std::uint32_t(frame[ip + i] << 8 | frame[ip + i + 1]);
  pseudo += frame[ip + 9];
  pseudo += std::uint32_t(length);
  return InternetChecksum(frame.data() + ip + 20, length, pseudo);
}

TEST(PacketTest, SegmentsReadBackWithValidChecksums) {
  for (std::uint8_t protocol : {kProtocolTcp, kProtocolUdp}) {
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(5), std::size_t(1400)}) {
      const Segment s = Example(protocol, size);
      const Bytes frame = BuildSegmentFrame(s);
      SCOPED_TRACE(std::to_string(protocol) + "/" + std::to_string(size));
      EXPECT_GE(frame.size(), 60u);  // short frames are padded to the Ethernet minimum
      EXPECT_EQ(InternetChecksum(frame.data() + 14, 20), 0) << "IPv4 header checksum";
      EXPECT_EQ(TransportChecksumCheck(frame), 0) << "transport checksum";
      EXPECT_TRUE(ChecksumsHold(frame));
      for (std::size_t at : {std::size_t(14 + 8), std::size_t(14 + 20 + 2), frame.size() - 1}) {
        if (at >= 14 + std::size_t(frame[16] << 8 | frame[17])) continue;  // padding is not covered
        Bytes changed = frame;
        changed[at] ^= 0x40;
        EXPECT_FALSE(ChecksumsHold(changed)) << "byte " << at << " changed";
      }

      const ParsedFrame parsed = ParseFrame(frame);
      ASSERT_TRUE(parsed.segment);
      EXPECT_EQ(parsed.etherType, kEtherTypeIpv4);
      const Segment& back = *parsed.segment;
      EXPECT_EQ(back.sourceMac, s.sourceMac);
      EXPECT_EQ(back.destinationMac, s.destinationMac);
      EXPECT_EQ(back.source, s.source);
      EXPECT_EQ(back.destination, s.destination);
      EXPECT_EQ(back.sourcePort, s.sourcePort);
      EXPECT_EQ(back.destinationPort, s.destinationPort);
      EXPECT_EQ(back.sequence, s.sequence);
      EXPECT_EQ(back.acknowledgement, s.acknowledgement);
      EXPECT_EQ(back.flags, s.flags);
      EXPECT_EQ(back.payload, s.payload) << "padding is not payload";
    }
  }
}

TEST(PacketTest, ArpReadsBack) {
  const ArpMessage arp{kArpRequest, kClientMac, {192, 168, 137, 17}, Mac{}, {192, 168, 137, 1}};
  const Bytes frame = BuildArpFrame(arp, kBroadcastMac);
  const ParsedFrame parsed = ParseFrame(frame);
  EXPECT_EQ(parsed.destinationMac, kBroadcastMac);
  EXPECT_EQ(parsed.sourceMac, kClientMac);
  ASSERT_TRUE(parsed.arp);
  EXPECT_EQ(parsed.arp->operation, kArpRequest);
  EXPECT_EQ(parsed.arp->senderIp, arp.senderIp);
  EXPECT_EQ(parsed.arp->targetIp, arp.targetIp);
  EXPECT_FALSE(parsed.segment);
}

TEST(PacketTest, DamagedFramesAreNotSegments) {
  const Bytes good = BuildSegmentFrame(Example(kProtocolTcp, 40));
  struct Damage {
    const char* name;
    std::size_t at;
    std::uint8_t value;
  };
  const Damage cases[] = {
      {"IPv6 version", 14, 0x65},
      {"header length below 20", 14, 0x44},
      {"total length beyond the frame", 16, 0xFF},
      {"later fragment", 21, 0x10},
      {"ICMP", 23, 1},
      {"TCP data offset below 20", 14 + 20 + 12, 0x40},
      {"not IPv4", 12, 0x86},
  };
  for (const auto& c : cases) {
    Bytes frame = good;
    frame[c.at] = c.value;
    EXPECT_FALSE(ParseFrame(frame).segment) << c.name;
  }
  EXPECT_EQ(ParseFrame(Bytes(13, 0)).etherType, 0);
  const Bytes cut(good.begin(), good.begin() + 40);
  EXPECT_FALSE(ParseFrame(cut).segment);
}

TEST(PacketTest, AddressTexts) {
  EXPECT_EQ(FormatMac(kClientMac), "02-5A-00-00-00-07");
  EXPECT_EQ(FormatIpv4({192, 168, 137, 17}), "192.168.137.17");
  EXPECT_EQ(ParseIpv4("203.0.113.255"), (Ipv4{203, 0, 113, 255}));
  for (const char* wrong : {"", "1.2.3", "1.2.3.4.", "256.1.1.1", "1..2.3", "a.b.c.d", "1.2.3.4 "}) {
    EXPECT_FALSE(ParseIpv4(wrong)) << wrong;
  }
}

}  // namespace
}  // namespace zl::traffic
