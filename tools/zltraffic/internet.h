// The simulated Internet behind the hotspot computer, on the protocols' side
// of the hosted adapter: it answers what a user would look at (ARP for the
// hotspot's own address, DNS queries, TCP handshakes, HTTP requests) and
// counts every frame that reached it, by protocol and destination port, so
// that what was dropped on the way can be told from what passed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/zltraffic/packet.h"

namespace zl::traffic {

inline constexpr Ipv4 kHotspotAddress = {192, 168, 137, 1};

// The kind under which a frame is counted: "arp", "udp/53", "tcp/80" (by
// destination port), ..., "other".
std::string FrameKind(const ParsedFrame& frame);

class Internet {
 public:
  // `hotspotMac`: the hosted adapter's address, which the Internet's answers
  // come from.
  explicit Internet(const Mac& hotspotMac) : hotspotMac_(hotspotMac) {}

  // One frame that reached the protocols; the frames to send back down.
  std::vector<Bytes> Receive(const Bytes& frame);

  // Frames per kind: "arp", "udp/53", "tcp/80", ..., "other", and
  // "damaged" for those whose checksums do not hold.
  const std::map<std::string, unsigned>& Counts() const { return counts_; }
  unsigned Count(const std::string& kind) const;
  // "arp=2 tcp/80=14 udp/53=3" (kinds in alphabetical order; "none" when empty).
  std::string CountsLine() const;

  // The address every host name resolves to: one of 203.0.113.1 to .254,
  // the same for the same name.
  static Ipv4 AddressOf(const std::string& hostName);

 private:
  std::vector<Bytes> ReceiveSegment(const Segment& segment);
  Segment ReplyTo(const Segment& segment) const;

  Mac hotspotMac_;
  std::map<std::string, unsigned> counts_;
  std::uint32_t nextSequence_ = 0x10000000;
};

}  // namespace zl::traffic
