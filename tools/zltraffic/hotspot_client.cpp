#include "tools/zltraffic/hotspot_client.h"

#include "tools/zltraffic/internet.h"
#include "tools/zltraffic/payloads.h"

namespace zl::traffic {
namespace {

constexpr const char* kHostNames[] = {"anna-laptop", "ben-phone",   "carla-tablet", "david-pc",    "eva-phone",
                                      "felix-book",  "greta-phone", "hanna-pad",    "ivo-desktop", "jana-phone"};

struct Site {
  const char* host;
  const char* pages[3];
  const char* images[3];
};
// Names reserved for documentation; every one resolves into 203.0.113.0/24.
constexpr Site kSites[] = {
    {"www.example.com", {"/", "/news/today.html", "/search?q=weather"}, {"/images/logo.png", "/favicon.ico", "/photo.jpg"}},
    {"www.example.org", {"/index.html", "/wiki/Hotspot", "/about/"}, {"/static/banner.gif", "/img/map.png", "/pic.jpeg"}},
    {"shop.example.net", {"/cart", "/products/42", "/"}, {"/thumbs/42.jpg", "/logo.png", "/icons/cart.ico"}},
};
constexpr const char* kTlsHosts[] = {"mail.example.org", "bank.example.com", "video.example.net"};

constexpr std::uint16_t kFirstLocalPort = 49152;
constexpr std::size_t kMaxOpenConnections = 64;

}  // namespace

const char* ActivityName(Activity activity) {
  switch (activity) {
    case Activity::Dns: return "dns";
    case Activity::Page: return "page";
    case Activity::Image: return "image";
    case Activity::Tls: return "tls";
    case Activity::P2p: return "p2p";
  }
  return "?";
}

std::optional<Activity> ActivityByName(const std::string& name) {
  for (Activity activity : kActivities) {
    if (name == ActivityName(activity)) return activity;
  }
  return std::nullopt;
}

ClientIdentity IdentityOf(int number) {
  ClientIdentity identity;
  identity.number = number;
  identity.mac = {0x02, 0x5A, 0x00, 0x00, 0x00, std::uint8_t(number)};
  identity.address = {192, 168, 137, std::uint8_t(10 + number)};
  constexpr int names = int(std::size(kHostNames));
  identity.hostName = kHostNames[(number - 1) % names];
  if (number > names) identity.hostName += "-" + std::to_string((number - 1) / names + 1);
  return identity;
}

Request RequestFor(Activity activity, unsigned choice) {
  const Site& site = kSites[choice % std::size(kSites)];
  const unsigned variant = choice / unsigned(std::size(kSites)) % 3;
  switch (activity) {
    case Activity::Dns: return {site.host, "", 53};
    case Activity::Page: return {site.host, site.pages[variant], 80};
    case Activity::Image: return {site.host, site.images[variant], 80};
    case Activity::Tls: return {kTlsHosts[choice % std::size(kTlsHosts)], "", 443};
    case Activity::P2p: return {"peer" + std::to_string(choice % 5 + 1) + ".example.net", "", 6881};
  }
  return {};
}

HotspotClient::HotspotClient(ClientIdentity identity, const Mac& hotspotMac)
    : identity_(std::move(identity)),
      hotspotMac_(hotspotMac),
      nextPort_(std::uint16_t(kFirstLocalPort + identity_.number * 97 % 1000)),
      nextQueryId_(std::uint16_t(identity_.number * 1000)) {}

std::string HotspotClient::TallyLine() const {
  std::string line;
  for (Activity activity : kActivities) {
    const Tally& t = TallyOf(activity);
    line += (line.empty() ? "" : "  ") + std::string(ActivityName(activity)) + " " + std::to_string(t.started) + "/" +
            std::to_string(t.answered);
  }
  return line;
}

std::uint16_t HotspotClient::NextPort() {
  const std::uint16_t port = nextPort_;
  nextPort_ = nextPort_ == 65535 ? kFirstLocalPort : std::uint16_t(nextPort_ + 1);
  return port;
}

Segment HotspotClient::Outgoing(const Ipv4& remote, std::uint8_t protocol, std::uint16_t localPort,
                                std::uint16_t remotePort) const {
  Segment s;
  s.sourceMac = identity_.mac;
  s.destinationMac = hotspotMac_;
  s.source = identity_.address;
  s.destination = remote;
  s.protocol = protocol;
  s.sourcePort = localPort;
  s.destinationPort = remotePort;
  return s;
}

std::vector<Bytes> HotspotClient::Join() {
  if (state_ != State::Present) return {};
  ArpMessage request{kArpRequest, identity_.mac, identity_.address, Mac{}, kHotspotAddress};
  return {BuildArpFrame(request, kBroadcastMac)};
}

std::vector<Bytes> HotspotClient::Start(Activity activity, unsigned choice) {
  if (state_ != State::Present) return {};
  const Request request = RequestFor(activity, choice);
  ++tallies_[std::size_t(activity)].started;
  const std::uint16_t localPort = NextPort();

  if (activity == Activity::Dns) {
    Segment query = Outgoing(kHotspotAddress, kProtocolUdp, localPort, 53);
    const std::uint16_t id = nextQueryId_++;
    query.payload = DnsQuery(id, request.host);
    if (pendingQueries_.size() >= kMaxOpenConnections) pendingQueries_.erase(pendingQueries_.begin());
    pendingQueries_[localPort] = id;
    return {BuildSegmentFrame(query)};
  }

  Connection connection{activity, Internet::AddressOf(request.host), request.port,
                        0x20000000u + std::uint32_t(identity_.number) * 0x01000000u + std::uint32_t(localPort) * 4096u,
                        {}};
  switch (activity) {
    case Activity::Page:
    case Activity::Image: connection.request = HttpGet(request.host, request.path); break;
    case Activity::Tls: connection.request = TlsClientHello(request.host); break;
    case Activity::P2p: connection.request = BitTorrentHandshake(std::uint8_t(choice)); break;
    case Activity::Dns: break;
  }
  // Handshakes that were never answered (dropped on the way) are forgotten
  // after a while, as a device gives up on them.
  if (connections_.size() >= kMaxOpenConnections) connections_.erase(connections_.begin());
  Segment syn = Outgoing(connection.remote, kProtocolTcp, localPort, connection.remotePort);
  syn.flags = kSyn;
  syn.sequence = connection.sequence++;
  connections_[localPort] = std::move(connection);
  return {BuildSegmentFrame(syn)};
}

std::vector<Bytes> HotspotClient::Receive(const ParsedFrame& frame) {
  if (state_ != State::Present) return {};
  if (frame.destinationMac != identity_.mac && frame.destinationMac != kBroadcastMac) return {};
  if (frame.arp) {
    const ArpMessage& arp = *frame.arp;
    if (arp.operation != kArpRequest || arp.targetIp != identity_.address) return {};
    ArpMessage reply{kArpReply, identity_.mac, identity_.address, arp.senderMac, arp.senderIp};
    return {BuildArpFrame(reply, arp.senderMac)};
  }
  if (frame.segment && frame.segment->destination == identity_.address) return ReceiveSegment(*frame.segment);
  return {};
}

std::vector<Bytes> HotspotClient::ReceiveSegment(const Segment& s) {
  if (s.protocol == kProtocolUdp) {
    const auto query = pendingQueries_.find(s.destinationPort);
    if (query == pendingQueries_.end() || s.sourcePort != 53) return {};
    if (ReadDnsAnswer(s.payload, query->second)) ++tallies_[std::size_t(Activity::Dns)].answered;
    pendingQueries_.erase(query);
    return {};
  }
  const auto it = connections_.find(s.destinationPort);
  if (it == connections_.end() || s.sourcePort != it->second.remotePort || s.source != it->second.remote) return {};
  Connection& c = it->second;
  Segment out = Outgoing(c.remote, kProtocolTcp, s.destinationPort, c.remotePort);

  if ((s.flags & (kSyn | kAck)) == (kSyn | kAck) && !c.established) {
    c.established = true;
    // Encrypted and file-sharing connections count as answered once the
    // other end takes them; a web request once its page comes back.
    if (c.activity == Activity::Tls || c.activity == Activity::P2p) ++tallies_[std::size_t(c.activity)].answered;
    out.flags = kAck | kPsh;
    out.sequence = c.sequence;
    out.acknowledgement = s.sequence + 1;
    out.payload = c.request;
    c.sequence += std::uint32_t(c.request.size());
    return {BuildSegmentFrame(out)};
  }
  if (!c.established) return {};
  const bool reply = !s.payload.empty() && ReadHttpStatus(s.payload) != 0;
  if (reply) ++tallies_[std::size_t(c.activity)].answered;
  // A web request ends with its reply; the others once their first bytes are taken.
  const bool web = c.activity == Activity::Page || c.activity == Activity::Image;
  if (web && !reply && !(s.flags & kFin)) return {};
  // The exchange is over: acknowledge and close.
  out.flags = kAck | kFin;
  out.sequence = c.sequence;
  out.acknowledgement = s.sequence + std::uint32_t(s.payload.size()) + ((s.flags & kFin) ? 1 : 0);
  connections_.erase(it);
  return {BuildSegmentFrame(out)};
}

}  // namespace zl::traffic
