// A client and the Internet talking directly (no kernel host between them):
// every activity gets its answer, the Internet counts what reached it, and a
// frame lost on the way leaves the activity unanswered.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "service/engine/filter_rules.h"
#include "service/engine/frame_judgement.h"
#include "service/engine/request_text.h"
#include "tools/zltraffic/hotspot_client.h"
#include "tools/zltraffic/internet.h"
#include "tools/zltraffic/payloads.h"
#include "tools/zltraffic/traffic_options.h"

namespace zl::traffic {
namespace {

constexpr Mac kHotspotMac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};

// Carries frames both ways until none is left; `lose` may swallow a frame on
// its way to the Internet.
struct Wire {
  HotspotClient& client;
  Internet& internet;
  std::function<bool(const ParsedFrame&)> lose = [](const ParsedFrame&) { return false; };
  unsigned toInternet = 0;

  void Run(std::vector<Bytes> fromClient) {
    std::deque<Bytes> up(fromClient.begin(), fromClient.end()), down;
    while (!up.empty() || !down.empty()) {
      while (!up.empty()) {
        const Bytes frame = up.front();
        up.pop_front();
        if (lose(ParseFrame(frame))) continue;
        ++toInternet;
        for (Bytes& reply : internet.Receive(frame)) down.push_back(std::move(reply));
      }
      while (!down.empty()) {
        const ParsedFrame parsed = ParseFrame(down.front());
        down.pop_front();
        for (Bytes& answer : client.Receive(parsed)) up.push_back(std::move(answer));
      }
    }
  }
};

TEST(ConversationTest, EveryActivityIsAnsweredAndCountedByPort) {
  HotspotClient client(IdentityOf(3), kHotspotMac);
  Internet internet(kHotspotMac);
  Wire wire{client, internet};
  wire.Run(client.Join());
  for (Activity activity : kActivities) wire.Run(client.Start(activity, 4));

  for (Activity activity : kActivities) {
    EXPECT_EQ(client.TallyOf(activity).started, 1u) << ActivityName(activity);
    EXPECT_EQ(client.TallyOf(activity).answered, 1u) << ActivityName(activity);
  }
  EXPECT_EQ(client.TallyLine(), "dns 1/1  page 1/1  image 1/1  tls 1/1  p2p 1/1");
  EXPECT_EQ(internet.Count("arp"), 1u);
  EXPECT_EQ(internet.Count("udp/53"), 1u);
  // Page and image: SYN, request, closing ACK; TLS and BitTorrent likewise.
  EXPECT_EQ(internet.Count("tcp/80"), 6u);
  EXPECT_EQ(internet.Count("tcp/443"), 3u);
  EXPECT_EQ(internet.Count("tcp/6881"), 3u);
  EXPECT_EQ(internet.CountsLine(), "arp=1 tcp/443=3 tcp/6881=3 tcp/80=6 udp/53=1");
}

TEST(ConversationTest, AFrameDroppedOnTheWayLeavesItsActivityUnanswered) {
  HotspotClient client(IdentityOf(1), kHotspotMac);
  Internet internet(kHotspotMac);
  Wire wire{client, internet};
  wire.lose = [](const ParsedFrame& f) { return f.segment && f.segment->destinationPort == 6881; };
  wire.Run(client.Start(Activity::P2p, 0));
  wire.Run(client.Start(Activity::Page, 0));
  EXPECT_EQ(client.TallyOf(Activity::P2p).started, 1u);
  EXPECT_EQ(client.TallyOf(Activity::P2p).answered, 0u);
  EXPECT_EQ(client.TallyOf(Activity::Page).answered, 1u);
  EXPECT_EQ(internet.Count("tcp/6881"), 0u);
}

TEST(ConversationTest, AQuietClientNeitherSendsNorAnswers) {
  HotspotClient client(IdentityOf(2), kHotspotMac);
  const ClientIdentity& id = client.Identity();
  const Bytes arpForClient =
      BuildArpFrame({kArpRequest, kHotspotMac, kHotspotAddress, Mac{}, id.address}, kBroadcastMac);
  EXPECT_EQ(client.Receive(ParseFrame(arpForClient)).size(), 1u) << "a present client answers ARP";
  const Bytes arpForOther =
      BuildArpFrame({kArpRequest, kHotspotMac, kHotspotAddress, Mac{}, {192, 168, 137, 99}}, kBroadcastMac);
  EXPECT_TRUE(client.Receive(ParseFrame(arpForOther)).empty());

  client.SetState(HotspotClient::State::Quiet);
  EXPECT_TRUE(client.Receive(ParseFrame(arpForClient)).empty());
  EXPECT_TRUE(client.Start(Activity::Page, 0).empty());
  EXPECT_TRUE(client.Join().empty());
  EXPECT_EQ(client.TallyOf(Activity::Page).started, 0u);
  client.SetState(HotspotClient::State::Present);
  EXPECT_EQ(client.Start(Activity::Page, 0).size(), 1u);
}

TEST(ConversationTest, TheInternetAnswersArpOnlyForTheHotspotComputer) {
  Internet internet(kHotspotMac);
  const auto id = IdentityOf(5);
  const auto replies = internet.Receive(BuildArpFrame({kArpRequest, id.mac, id.address, Mac{}, kHotspotAddress}, kBroadcastMac));
  ASSERT_EQ(replies.size(), 1u);
  const ParsedFrame reply = ParseFrame(replies[0]);
  ASSERT_TRUE(reply.arp);
  EXPECT_EQ(reply.arp->operation, kArpReply);
  EXPECT_EQ(reply.arp->senderMac, kHotspotMac);
  EXPECT_EQ(reply.destinationMac, id.mac);
  EXPECT_TRUE(internet.Receive(BuildArpFrame({kArpRequest, id.mac, id.address, Mac{}, {192, 168, 137, 12}}, kBroadcastMac)).empty());
  EXPECT_EQ(internet.Count("arp"), 2u);
}

// What the service's engine makes of the clients' frames: the requests the
// URL log should see, and the port verdicts with file sharing blocked.
struct Collect final : engine::ClientAddressNoter, engine::UrlLogCandidates {
  std::vector<std::string> addresses, urls;
  void NoteClientAddresses(std::string_view destination, std::string_view source) override {
    addresses.emplace_back(std::string(source) + ">" + std::string(destination));
  }
  void LogRequestUrl(std::string_view mac, const std::uint8_t* frame, std::size_t length) override {
    const std::string_view text(reinterpret_cast<const char*>(frame), length);
    const std::string host = engine::ExtractHostUrl(engine::TrimText(text));
    const std::string path = engine::ExtractRequestPath(engine::TrimText(text));
    if (!host.empty() && engine::IsLoggableResource(path)) urls.push_back(std::string(mac) + " " + host + path);
  }
};

TEST(ConversationTest, TheServiceEngineLogsPagesAndBlocksFileSharing) {
  engine::FilterRules rules;
  engine::ApplySettings(
      "EnableFirewall=-1\nEnableDefaultTcpPorts=0\nEnableDefaultUdpPorts=0\nEnabledTcpPorts=80;443\n"
      "EnabledUdpPorts=53\nEnableUrlLog=-1",
      rules);
  HotspotClient client(IdentityOf(4), kHotspotMac);
  Internet internet(kHotspotMac);
  Collect seen;
  std::map<Activity, unsigned> dropped;
  Wire wire{client, internet};
  Activity current = Activity::Dns;
  for (Activity activity : kActivities) {
    current = activity;
    wire.lose = [&](const ParsedFrame& f) {
      const Bytes frame = BuildSegmentFrame(*f.segment);
      const bool pass = engine::JudgeFrame(frame.data(), frame.size(), engine::DIRECTION_INBOUND, rules, seen, seen) ==
                        engine::Verdict::Pass;
      if (!pass) ++dropped[current];
      return !pass;
    };
    wire.Run(client.Start(activity, 0));
  }
  EXPECT_EQ(seen.urls, (std::vector<std::string>{"02-5A-00-00-00-04 http://www.example.com/"}))
      << "the page is logged, its image is not";
  EXPECT_EQ(dropped[Activity::P2p], 1u) << "the handshake to 6881 goes no further than its SYN";
  for (Activity passing : {Activity::Dns, Activity::Page, Activity::Image, Activity::Tls}) {
    EXPECT_EQ(dropped[passing], 0u) << ActivityName(passing);
    EXPECT_EQ(client.TallyOf(passing).answered, 1u) << ActivityName(passing);
  }
  ASSERT_FALSE(seen.addresses.empty());
  EXPECT_EQ(seen.addresses.front(), "192.168.137.14>192.168.137.1") << "the DNS query to the hotspot";
}

TEST(TrafficOptionsTest, ParsesTheCommandLine) {
  std::string error;
  auto options = ParseTrafficOptions({"--clients", "6", "--rate", "2.5", "--mix", "p2p=0,page=5", "--quiet", "2@30",
                                      "--leave", "3@40.5", "--idle", "--join", "6@10", "--for", "60", "--seed", "9"},
                                     error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->clients, 6);
  EXPECT_DOUBLE_EQ(options->rate, 2.5);
  EXPECT_EQ(options->mix, (std::array<unsigned, 5>{1, 5, 2, 2, 0}));
  EXPECT_DOUBLE_EQ(*options->forSeconds, 60);
  EXPECT_EQ(options->seed, 9u);
  EXPECT_TRUE(options->idle);
  EXPECT_FALSE(ParseTrafficOptions({}, error)->idle);
  ASSERT_EQ(options->events.size(), 3u);
  EXPECT_EQ(options->events[1].kind, ClientEvent::Kind::Leave);
  EXPECT_EQ(options->events[1].client, 3);
  EXPECT_DOUBLE_EQ(options->events[1].atSeconds, 40.5);

  const std::vector<std::vector<std::string>> wrong = {
      {"--clients", "0"},      {"--clients", "241"},        {"--clients", "-2"},  {"--rate", "0"},
      {"--mix", "dns=1,x=2"},  {"--mix", "dns=0,page=0,image=0,tls=0,p2p=0"},   {"--quiet", "2"},
      {"--quiet", "0@5"},      {"--clients", "2", "--leave", "3@1"},            {"--for"},
      {"--frobnicate", "1"},   {"stray"},                   {"--rate", "fast"},
  };
  for (const auto& args : wrong) {
    EXPECT_FALSE(ParseTrafficOptions(args, error)) << args[0] << (args.size() > 1 ? " " + args[1] : "");
    EXPECT_FALSE(error.empty());
  }
}

TEST(TrafficOptionsTest, TheMixPicksByWeight) {
  const std::array<unsigned, 5> mix = {1, 3, 0, 2, 1};
  std::map<Activity, unsigned> picked;
  for (unsigned value = 0; value < TotalWeight(mix); ++value) ++picked[PickActivity(mix, value)];
  EXPECT_EQ(picked[Activity::Dns], 1u);
  EXPECT_EQ(picked[Activity::Page], 3u);
  EXPECT_EQ(picked[Activity::Image], 0u);
  EXPECT_EQ(picked[Activity::Tls], 2u);
  EXPECT_EQ(picked[Activity::P2p], 1u);
}

TEST(ClientIdentityTest, NumberedAddressesNamesAndRequests) {
  const ClientIdentity first = IdentityOf(1);
  EXPECT_EQ(FormatMac(first.mac), "02-5A-00-00-00-01");
  EXPECT_EQ(FormatIpv4(first.address), "192.168.137.11");
  EXPECT_EQ(first.hostName, "anna-laptop");
  EXPECT_EQ(IdentityOf(11).hostName, "anna-laptop-2");
  EXPECT_EQ(FormatIpv4(IdentityOf(240).address), "192.168.137.250");
  for (unsigned choice = 0; choice < 9; ++choice) {
    EXPECT_EQ(RequestFor(Activity::Page, choice).port, 80);
    EXPECT_FALSE(engine::IsLoggableResource(RequestFor(Activity::Image, choice).path)) << choice;
    EXPECT_TRUE(engine::IsLoggableResource(RequestFor(Activity::Page, choice).path)) << choice;
    EXPECT_EQ(Internet::AddressOf(RequestFor(Activity::Page, choice).host)[0], 203);
  }
}

}  // namespace
}  // namespace zl::traffic
