// One simulated device on the hotspot: its identity, the activities a user of
// it causes (name lookups, web pages and their images, encrypted
// connections, file sharing), the TCP exchanges they need, and what came of
// each. Pure logic: it turns activities and received frames into frames to
// send; the caller carries them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/zltraffic/packet.h"

namespace zl::traffic {

enum class Activity { Dns, Page, Image, Tls, P2p };
inline constexpr std::array<Activity, 5> kActivities = {Activity::Dns, Activity::Page, Activity::Image, Activity::Tls,
                                                        Activity::P2p};
const char* ActivityName(Activity activity);  // "dns", "page", "image", "tls", "p2p"
std::optional<Activity> ActivityByName(const std::string& name);

struct ClientIdentity {
  int number = 1;  // 1-based
  Mac mac{};
  Ipv4 address{};
  std::string hostName;
};
// The identity of client `number`: MAC 02-5A-00-00-00-nn, address
// 192.168.137.(10 + n), and a host name from a fixed list (numbered once it
// runs out). Numbers from 1 to 240.
ClientIdentity IdentityOf(int number);

// The request an activity makes, chosen by `choice` among a few sites.
struct Request {
  std::string host;
  std::string path;  // HTTP only
  std::uint16_t port = 0;
};
Request RequestFor(Activity activity, unsigned choice);

class HotspotClient {
 public:
  enum class State { Present, Quiet, Gone };

  HotspotClient(ClientIdentity identity, const Mac& hotspotMac);

  const ClientIdentity& Identity() const { return identity_; }
  State GetState() const { return state_; }
  // A quiet device neither sends nor answers; Present wakes it again.
  void SetState(State state) { state_ = state; }

  // What a device sends when it joins: an ARP request for the hotspot.
  std::vector<Bytes> Join();
  // Starts one activity; the first frame of it (nothing when not present).
  std::vector<Bytes> Start(Activity activity, unsigned choice);
  // A frame that came out towards the clients and is addressed to this one
  // (or broadcast); the answers to send.
  std::vector<Bytes> Receive(const ParsedFrame& frame);

  struct Tally {
    unsigned started = 0;
    unsigned answered = 0;
  };
  const Tally& TallyOf(Activity activity) const { return tallies_[std::size_t(activity)]; }
  // "dns 3/3 page 5/5 image 2/2 tls 1/1 p2p 4/0" (started/answered).
  std::string TallyLine() const;

 private:
  struct Connection {
    Activity activity;
    Ipv4 remote;
    std::uint16_t remotePort;
    std::uint32_t sequence;  // next to send
    Bytes request;           // sent once the handshake is answered
    bool established = false;
  };
  Segment Outgoing(const Ipv4& remote, std::uint8_t protocol, std::uint16_t localPort, std::uint16_t remotePort) const;
  std::vector<Bytes> ReceiveSegment(const Segment& segment);
  std::uint16_t NextPort();

  ClientIdentity identity_;
  Mac hotspotMac_;
  State state_ = State::Present;
  std::array<Tally, kActivities.size()> tallies_{};
  std::map<std::uint16_t, Connection> connections_;  // by local port
  std::map<std::uint16_t, std::uint16_t> pendingQueries_;  // DNS id by local port
  std::uint16_t nextPort_;
  std::uint16_t nextQueryId_;
};

}  // namespace zl::traffic
