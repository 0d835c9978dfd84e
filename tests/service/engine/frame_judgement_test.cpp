#include "service/engine/frame_judgement.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "frame_builder.h"

namespace zl::engine {
namespace {

using test::BuildFrame;
using test::FrameSpec;
using test::kClient;
using test::kHotspot;
using test::kRemote;
using test::TcpFrame;
using test::UdpFrame;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using AddressPair = std::pair<std::string, std::string>;

class RecordingNoter final : public ClientAddressNoter {
 public:
  void NoteClientAddresses(std::string_view destination, std::string_view source) override {
    noted.emplace_back(std::string(destination), std::string(source));
    if (fail) throw std::runtime_error("noting failed");
  }
  std::vector<AddressPair> noted;
  bool fail = false;
};

struct Candidate {
  std::string mac;
  const std::uint8_t* frame;
  std::size_t length;
};

class RecordingCandidates final : public UrlLogCandidates {
 public:
  void LogRequestUrl(std::string_view clientMac, const std::uint8_t* frame, std::size_t length) override {
    candidates.push_back({std::string(clientMac), frame, length});
    if (fail) throw std::runtime_error("logging failed");
  }
  std::vector<Candidate> candidates;
  bool fail = false;
};

// The control panel's rule set with file sharing blocked, URL log on.
FilterRules P2PBlocked() {
  FilterRules rules;
  ApplySettings(
      "FreeUrlList=\r\nFreeMacList=\r\nEnableFirewall=-1\r\nEnableDefaultTcpPorts=0\r\nEnableDefaultUdpPorts=0\r\n"
      "EnabledTcpPorts=80;8080;8081;443;21;25;110;67;68\r\nDisabledTcpPorts=\r\nEnabledUdpPorts=110;53;67;68\r\n"
      "DisabledUdpPorts=\r\nEnableUrlLog=-1\r\n",
      rules);
  return rules;
}

FilterRules OpenWithLog() {
  FilterRules rules;
  rules.EnableUrlLog = true;
  return rules;
}

FilterRules P2PBlockedWithoutLog() {
  FilterRules rules = P2PBlocked();
  rules.EnableUrlLog = false;
  return rules;
}

FilterRules HttpDisabled() {
  FilterRules rules = P2PBlocked();
  ParsePortList("", rules.EnabledTcpPorts);
  ParsePortList("80", rules.DisabledTcpPorts);
  rules.EnableDefaultTcpPorts = true;
  return rules;
}

const std::string kClientText = "192.168.137.23";
const std::string kRemoteText = "93.184.216.34";
const std::string kHotspotText = "192.168.137.1";

FrameSpec WithEtherType(std::uint16_t etherType) {
  FrameSpec spec = TcpFrame(kClient, 50000, kRemote, 22);
  spec.etherType = etherType;
  return spec;
}

FrameSpec WithProtocol(std::uint8_t protocol) {
  FrameSpec spec = TcpFrame(kClient, 50000, kRemote, 22);
  spec.protocol = protocol;
  return spec;
}

// IHL 0: the ports are read at offsets 14 and 16, inside the IPv4 header.
FrameSpec ZeroHeaderLength(std::uint16_t bytesAt16) {
  FrameSpec spec = TcpFrame(kClient, 50000, kRemote, 443);
  spec.headerWords = 0;
  spec.patches = {{16, static_cast<std::uint8_t>(bytesAt16 >> 8)}, {17, static_cast<std::uint8_t>(bytesAt16)}};
  return spec;
}

// A later fragment: offset field set, and the bytes where a transport header
// would be are the fragment's data.
FrameSpec LaterFragment(std::uint16_t bytesAtDestinationPort) {
  FrameSpec spec = TcpFrame(kClient, 50000, kRemote, bytesAtDestinationPort);
  spec.patches = {{20, 0x00}, {21, 0xB9}};  // fragment offset 185 x 8 bytes
  return spec;
}

struct FrameCase {
  const char* name;
  FrameSpec spec;
  std::uint32_t direction;
  FilterRules (*rules)();
  Verdict verdict;
  std::vector<AddressPair> noted;  // destination, source
  bool logCandidate;
  friend void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }
};

class FrameJudgementTable : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameJudgementTable, VerdictNotedAddressesAndLogCandidate) {
  const FrameCase& c = GetParam();
  const std::vector<std::uint8_t> frame = BuildFrame(c.spec);
  RecordingNoter noter;
  RecordingCandidates log;
  EXPECT_EQ(JudgeFrame(frame.data(), frame.size(), c.direction, c.rules(), noter, log), c.verdict);
  EXPECT_EQ(noter.noted, c.noted);
  ASSERT_EQ(log.candidates.size(), c.logCandidate ? 1u : 0u);
  if (c.logCandidate) {
    EXPECT_EQ(log.candidates[0].mac, "02-1A-2B-3C-4D-EF");
    EXPECT_EQ(log.candidates[0].frame, frame.data());
    EXPECT_EQ(log.candidates[0].length, frame.size());
  }
}

constexpr std::uint32_t kIn = DIRECTION_INBOUND;
constexpr std::uint32_t kOut = DIRECTION_OUTBOUND;
const std::vector<AddressPair> kClientToRemote = {{kRemoteText, kClientText}};
const std::vector<AddressPair> kRemoteToClient = {{kClientText, kRemoteText}};

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameJudgementTable,
    ::testing::Values(
        FrameCase{"Arp", WithEtherType(0x0806), kIn, P2PBlocked, Verdict::Pass, {}, false},
        FrameCase{"IPv6", WithEtherType(0x86DD), kIn, P2PBlocked, Verdict::Pass, {}, false},
        FrameCase{"VlanTagged", WithEtherType(0x8100), kIn, P2PBlocked, Verdict::Pass, {}, false},
        FrameCase{"Icmp", WithProtocol(1), kIn, P2PBlocked, Verdict::Pass, {}, false},
        FrameCase{"Igmp", WithProtocol(2), kOut, P2PBlocked, Verdict::Pass, {}, false},
        FrameCase{"ClientToRemoteSshDropped", TcpFrame(kClient, 50000, kRemote, 22), kIn, P2PBlocked,
                  Verdict::Drop, kClientToRemote, false},
        FrameCase{"ReplyFromRemoteSshDropped", TcpFrame(kRemote, 22, kClient, 50000), kOut, P2PBlocked,
                  Verdict::Drop, kRemoteToClient, false},
        FrameCase{"ReplyFromRemoteHttpsPasses", TcpFrame(kRemote, 443, kClient, 22), kOut, P2PBlocked,
                  Verdict::Pass, kRemoteToClient, false},
        FrameCase{"ClientToHotspotSshPasses", TcpFrame(kClient, 50000, kHotspot, 22), kIn, P2PBlocked,
                  Verdict::Pass, {{kHotspotText, kClientText}}, false},
        FrameCase{"HotspotToClientAnyPortPasses", TcpFrame(kHotspot, 6881, kClient, 22), kOut, P2PBlocked,
                  Verdict::Pass, {{kClientText, kHotspotText}}, false},
        FrameCase{"ClientHttpToHotspotNotLogged", TcpFrame(kClient, 50000, kHotspot, 80, test::HttpGet("/", "x")),
                  kIn, P2PBlocked, Verdict::Pass, {{kHotspotText, kClientText}}, false},
        FrameCase{"ClientHttpLogged", TcpFrame(kClient, 50000, kRemote, 80, test::HttpGet("/", "example.com")), kIn,
                  P2PBlocked, Verdict::Pass, kClientToRemote, true},
        FrameCase{"EveryPort80FrameIsACandidate", TcpFrame(kClient, 50000, kRemote, 80), kIn, OpenWithLog,
                  Verdict::Pass, kClientToRemote, true},
        FrameCase{"ClientHttpWithLogOffNotLogged", TcpFrame(kClient, 50000, kRemote, 80, test::HttpGet("/", "x")),
                  kIn, P2PBlockedWithoutLog, Verdict::Pass, kClientToRemote, false},
        FrameCase{"DroppedHttpNotLogged", TcpFrame(kClient, 50000, kRemote, 80, test::HttpGet("/", "x")), kIn,
                  HttpDisabled, Verdict::Drop, kClientToRemote, false},
        FrameCase{"HttpReplyNotLogged", TcpFrame(kRemote, 80, kClient, 80), kOut, P2PBlocked, Verdict::Pass,
                  kRemoteToClient, false},
        FrameCase{"ClientHttpsNotLogged", TcpFrame(kClient, 50000, kRemote, 443), kIn, OpenWithLog, Verdict::Pass,
                  kClientToRemote, false},
        FrameCase{"UdpDnsPasses", UdpFrame(kClient, 50000, kRemote, 53), kIn, P2PBlocked, Verdict::Pass,
                  kClientToRemote, false},
        FrameCase{"UdpToPort80NeverLogged", UdpFrame(kClient, 50000, kRemote, 80), kIn, OpenWithLog,
                  Verdict::Pass, kClientToRemote, false},
        FrameCase{"UdpP2PDropped", UdpFrame(kClient, 6881, kRemote, 6881), kIn, P2PBlocked, Verdict::Drop,
                  kClientToRemote, false},
        FrameCase{"UdpReplyJudgedOnSourcePort", UdpFrame(kRemote, 53, kClient, 6881), kOut, P2PBlocked,
                  Verdict::Pass, kRemoteToClient, false},
        FrameCase{"UdpToHotspotPasses", UdpFrame(kClient, 6881, kHotspot, 6881), kIn, P2PBlocked, Verdict::Pass,
                  {{kHotspotText, kClientText}}, false},
        FrameCase{"FirewallOffPassesEverything", TcpFrame(kClient, 50000, kRemote, 6881), kIn, OpenWithLog,
                  Verdict::Pass, kClientToRemote, false},
        FrameCase{"UnknownDirectionCountsAsFromClients", TcpFrame(kRemote, 443, kClient, 22), 0, P2PBlocked,
                  Verdict::Drop, kRemoteToClient, false},
        FrameCase{"HeaderLengthZeroReadsPortsInsideIpHeader", ZeroHeaderLength(22), kIn, P2PBlocked,
                  Verdict::Drop, kClientToRemote, false},
        FrameCase{"HeaderLengthZeroAllowedPort", ZeroHeaderLength(443), kIn, P2PBlocked, Verdict::Pass,
                  kClientToRemote, false},
        FrameCase{"LaterFragmentJudgedOnItsBytes", LaterFragment(22), kIn, P2PBlocked, Verdict::Drop,
                  kClientToRemote, false},
        FrameCase{"OtherPrivateAddressesNoted", TcpFrame({10, 192, 168, 5}, 443, {192, 168, 1, 9}, 50000), kOut,
                  P2PBlocked, Verdict::Pass, {{"192.168.1.9", "10.192.168.5"}}, false}),
    [](const ::testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.name); });

// A test's frame judged with only its first `length` bytes held in a buffer
// of exactly that size, so a read past the length trips the address sanitizer.
struct Judged {
  Verdict verdict;
  std::vector<AddressPair> noted;
  std::size_t candidates;
};

Judged JudgePrefix(const std::vector<std::uint8_t>& frame, std::size_t length, std::uint32_t direction,
                   const FilterRules& rules) {
  const std::vector<std::uint8_t> prefix(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(length));
  RecordingNoter noter;
  RecordingCandidates log;
  const Verdict verdict = JudgeFrame(prefix.data(), prefix.size(), direction, rules, noter, log);
  return {verdict, noter.noted, log.candidates.size()};
}

TEST(FrameJudgementTest, ShortClientFrameIsJudgedOnlyOnFieldsItHolds) {
  const FilterRules rules = P2PBlocked();
  const std::vector<std::uint8_t> frame = BuildFrame(TcpFrame(kClient, 50000, kRemote, 22));
  constexpr std::size_t kAddressesEnd = 34;
  constexpr std::size_t kDestinationPortEnd = 38;
  for (std::size_t length = 0; length <= frame.size(); ++length) {
    SCOPED_TRACE(length);
    const Judged judged = JudgePrefix(frame, length, DIRECTION_INBOUND, rules);
    EXPECT_EQ(judged.verdict, length >= kDestinationPortEnd ? Verdict::Drop : Verdict::Pass);
    EXPECT_EQ(judged.noted, length >= kAddressesEnd ? kClientToRemote : std::vector<AddressPair>{});
  }
}

TEST(FrameJudgementTest, ShortReplyNeedsOnlyItsSourcePort) {
  const FilterRules rules = P2PBlocked();
  const std::vector<std::uint8_t> frame = BuildFrame(TcpFrame(kRemote, 22, kClient, 50000));
  EXPECT_EQ(JudgePrefix(frame, 35, DIRECTION_OUTBOUND, rules).verdict, Verdict::Pass);
  EXPECT_EQ(JudgePrefix(frame, 36, DIRECTION_OUTBOUND, rules).verdict, Verdict::Drop);
}

TEST(FrameJudgementTest, ShortHttpFrameIsNeverALogCandidate) {
  const FilterRules rules = OpenWithLog();
  const std::vector<std::uint8_t> frame = BuildFrame(TcpFrame(kClient, 50000, kRemote, 80));
  for (std::size_t length = 0; length < 38; ++length) {
    SCOPED_TRACE(length);
    EXPECT_EQ(JudgePrefix(frame, length, DIRECTION_INBOUND, rules).candidates, 0u);
  }
  EXPECT_EQ(JudgePrefix(frame, 38, DIRECTION_INBOUND, rules).candidates, 1u);
}

TEST(FrameJudgementTest, StaleBytesBeyondTheLengthDoNotDecide) {
  // An earlier frame to a blocked port still fills the buffer; a shorter
  // frame read into the same buffer is judged on its own bytes only.
  const FilterRules rules = P2PBlocked();
  std::vector<std::uint8_t> buffer = BuildFrame(TcpFrame(kClient, 50000, kRemote, 22));
  buffer.resize(1514, 0xEE);
  RecordingNoter noter;
  RecordingCandidates log;
  for (std::size_t length : {0u, 14u, 24u, 33u, 37u}) {
    SCOPED_TRACE(length);
    EXPECT_EQ(JudgeFrame(buffer.data(), length, DIRECTION_INBOUND, rules, noter, log), Verdict::Pass);
  }
  EXPECT_EQ(JudgeFrame(buffer.data(), 38, DIRECTION_INBOUND, rules, noter, log), Verdict::Drop);
}

TEST(FrameJudgementTest, HeaderLengthBeyondShortFrameMeansNoPorts) {
  // IHL 15 puts the ports at 74..77; a 60-byte frame does not hold them.
  FrameSpec spec = TcpFrame(kClient, 50000, kRemote, 22);
  spec.headerWords = 15;
  std::vector<std::uint8_t> frame = BuildFrame(spec);
  frame.resize(60);
  RecordingNoter noter;
  RecordingCandidates log;
  EXPECT_EQ(JudgeFrame(frame.data(), frame.size(), DIRECTION_INBOUND, P2PBlocked(), noter, log), Verdict::Pass);
  EXPECT_THAT(noter.noted, ElementsAre(AddressPair{kRemoteText, kClientText}));
}

TEST(FrameJudgementTest, FailingNoterAndLogDoNotChangeTheVerdict) {
  RecordingNoter noter;
  RecordingCandidates log;
  noter.fail = true;
  log.fail = true;
  const std::vector<std::uint8_t> http = BuildFrame(TcpFrame(kClient, 50000, kRemote, 80, test::HttpGet("/", "x")));
  EXPECT_EQ(JudgeFrame(http.data(), http.size(), DIRECTION_INBOUND, P2PBlocked(), noter, log), Verdict::Pass);
  EXPECT_EQ(log.candidates.size(), 1u);
  const std::vector<std::uint8_t> ssh = BuildFrame(TcpFrame(kClient, 50000, kRemote, 22));
  EXPECT_EQ(JudgeFrame(ssh.data(), ssh.size(), DIRECTION_INBOUND, P2PBlocked(), noter, log), Verdict::Drop);
  EXPECT_EQ(noter.noted.size(), 2u);
}

TEST(FrameJudgementTest, DefaultRulesPassEveryPortAndLogNothing) {
  const FilterRules defaults;
  RecordingNoter noter;
  RecordingCandidates log;
  for (std::uint16_t port : {0, 22, 80, 6881, 65535}) {
    const std::vector<std::uint8_t> tcp = BuildFrame(TcpFrame(kClient, 50000, kRemote, port, "GET / x\r\nHost: h\r\n"));
    const std::vector<std::uint8_t> udp = BuildFrame(UdpFrame(kRemote, port, kClient, 50000));
    EXPECT_EQ(JudgeFrame(tcp.data(), tcp.size(), DIRECTION_INBOUND, defaults, noter, log), Verdict::Pass);
    EXPECT_EQ(JudgeFrame(udp.data(), udp.size(), DIRECTION_OUTBOUND, defaults, noter, log), Verdict::Pass);
  }
  EXPECT_THAT(log.candidates, IsEmpty());
}

}  // namespace
}  // namespace zl::engine
