#include "tools/zltraffic/internet.h"

#include "tools/zltraffic/payloads.h"

namespace zl::traffic {

unsigned Internet::Count(const std::string& kind) const {
  const auto it = counts_.find(kind);
  return it == counts_.end() ? 0 : it->second;
}

std::string Internet::CountsLine() const {
  std::string line;
  for (const auto& [kind, count] : counts_) line += (line.empty() ? "" : " ") + kind + "=" + std::to_string(count);
  return line.empty() ? "none" : line;
}

Ipv4 Internet::AddressOf(const std::string& hostName) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : hostName) hash = (hash ^ c) * 16777619u;
  return {203, 0, 113, std::uint8_t(1 + hash % 254)};
}

std::string FrameKind(const ParsedFrame& frame) {
  if (frame.arp) return "arp";
  if (!frame.segment) return "other";
  return std::string(frame.segment->protocol == kProtocolTcp ? "tcp/" : "udp/") +
         std::to_string(frame.segment->destinationPort);
}

std::vector<Bytes> Internet::Receive(const Bytes& frame) {
  const ParsedFrame parsed = ParseFrame(frame);
  ++counts_[FrameKind(parsed)];
  // Frames changed on the way (by anything but their sender) are counted too.
  if (!ChecksumsHold(frame)) ++counts_["damaged"];
  if (parsed.arp) {
    const ArpMessage& arp = *parsed.arp;
    if (arp.operation != kArpRequest || arp.targetIp != kHotspotAddress) return {};
    ArpMessage reply{kArpReply, hotspotMac_, kHotspotAddress, arp.senderMac, arp.senderIp};
    return {BuildArpFrame(reply, arp.senderMac)};
  }
  if (!parsed.segment) return {};
  return ReceiveSegment(*parsed.segment);
}

Segment Internet::ReplyTo(const Segment& s) const {
  Segment reply;
  reply.sourceMac = hotspotMac_;
  reply.destinationMac = s.sourceMac;
  reply.source = s.destination;
  reply.destination = s.source;
  reply.protocol = s.protocol;
  reply.sourcePort = s.destinationPort;
  reply.destinationPort = s.sourcePort;
  return reply;
}

std::vector<Bytes> Internet::ReceiveSegment(const Segment& s) {
  const bool tcp = s.protocol == kProtocolTcp;

  if (!tcp) {
    if (s.destinationPort != 53) return {};
    const auto question = ReadDnsQuery(s.payload);
    if (!question) return {};
    Segment reply = ReplyTo(s);
    reply.payload = DnsAnswer(*question, AddressOf(question->name));
    return {BuildSegmentFrame(reply)};
  }

  Segment reply = ReplyTo(s);
  if (s.flags & kSyn) {
    reply.flags = kSyn | kAck;
    reply.sequence = nextSequence_;
    nextSequence_ += 0x01000000;
    reply.acknowledgement = s.sequence + 1;
    return {BuildSegmentFrame(reply)};
  }
  // The server's sequence is where its SYN-ACK left it: the client acknowledges it.
  reply.sequence = s.acknowledgement;
  reply.acknowledgement = s.sequence + std::uint32_t(s.payload.size()) + ((s.flags & kFin) ? 1 : 0);
  if (s.payload.empty() && !(s.flags & kFin)) return {};  // a bare acknowledgement
  reply.flags = kAck;
  if (s.destinationPort == 80) {
    if (const auto request = ReadHttpGet(s.payload)) {
      reply.flags = kAck | kPsh | kFin;
      reply.payload = HttpReply(request->path);
    }
  }
  return {BuildSegmentFrame(reply)};
}

}  // namespace zl::traffic
