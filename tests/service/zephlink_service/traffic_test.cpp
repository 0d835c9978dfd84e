// Frames through the whole path: the settings text applied between two
// frames, the verdicts in both directions, and the URL log.
#include <fstream>
#include <sstream>

#include "service_fixture.h"
#include "tests/service/engine/frame_builder.h"
#include "zl/platform/locale.h"

namespace zl::servicetest {
namespace {

using namespace zl::engine::test;
using std::chrono::seconds;

const std::string kRefuse22 = "EnableFirewall=-1\r\nDisabledTcpPorts=22\r\n";
const std::string kRefuse23 = "EnableFirewall=-1\r\nDisabledTcpPorts=23\r\n";

Bytes FromClientTo(Address destination, std::uint16_t port) {
  return BuildFrame(TcpFrame(kClient, 50000, destination, port));
}

class TrafficTest : public ServiceTest {
 protected:
  void SetUp() override {
    StartDivertedService();
    ConnectPanel();
  }
  void Settle(const std::string& text) {
    ASSERT_TRUE(RunUntil([&] { return service_->State().PendingSettingsText == text; }));
  }
};

TEST_F(TrafficTest, ASettingsTextWaitsForTheNextFrameAndJudgesIt) {
  panel_.SendSettings(kRefuse22);
  Settle(kRefuse22);
  loop_.RunFor(seconds(50));  // no frame crosses
  EXPECT_TRUE(service_->State().SettingsPending);
  EXPECT_FALSE(service_->State().FilterRules.EnableFirewall);

  FromClient(FromClientTo(kRemote, 22));
  const Bytes web = FromClientTo(kRemote, 80);
  FromClient(web);
  EXPECT_EQ(AtStack(), web) << "the frame to port 22 was judged by the new rules";
  EXPECT_FALSE(service_->State().SettingsPending);
  EXPECT_TRUE(service_->State().FilterRules.EnableFirewall);
}

TEST_F(TrafficTest, OfTwoTextsBeforeAFrameOnlyTheSecondIsApplied) {
  panel_.SendSettings(kRefuse22);
  panel_.SendSettings(kRefuse23);
  Settle(kRefuse23);
  const Bytes ssh = FromClientTo(kRemote, 22);
  const Bytes web = FromClientTo(kRemote, 80);
  FromClient(ssh);
  FromClient(FromClientTo(kRemote, 23));
  FromClient(web);
  EXPECT_EQ(AtStack(), ssh);
  EXPECT_EQ(AtStack(), web);
}

TEST_F(TrafficTest, ASettingsTextBeyondTheFramingBoundIsRefusedNotTruncated) {
  std::string huge = kRefuse22;
  huge.resize(1024 * 1024 + 1, 'x');
  panel_.SendSettings(huge);
  // Ending the session after it makes the service read everything sent before.
  panel_.StopListening();
  ASSERT_TRUE(RunUntil([&] { return !service_->ClientSocket.Active(); }));
  EXPECT_FALSE(service_->State().SettingsPending);
  EXPECT_TRUE(service_->State().PendingSettingsText.empty());
  const Bytes ssh = FromClientTo(kRemote, 22);
  FromClient(ssh);
  EXPECT_EQ(AtStack(), ssh);
}

struct VerdictCase {
  const char* name;
  Bytes frame;
  bool outbound;  // sent by the local stack towards the clients
  bool passes;
};

TEST_F(TrafficTest, VerdictsInBothDirectionsAndPassingFramesGoOnInTheirOwnDirection) {
  panel_.SendSettings(kRefuse22);
  Settle(kRefuse22);
  const VerdictCase cases[] = {
      {"client to remote port 22", FromClientTo(kRemote, 22), false, false},
      {"client to remote port 80", FromClientTo(kRemote, 80), false, true},
      {"client to port 22 of the hotspot", FromClientTo(kHotspot, 22), false, true},
      {"reply from remote port 22", BuildFrame(TcpFrame(kRemote, 22, kClient, 50000)), true, false},
      {"reply from remote port 80", BuildFrame(TcpFrame(kRemote, 80, kClient, 50000)), true, true},
      {"the hotspot's own port 22 to a client", BuildFrame(TcpFrame(kHotspot, 22, kClient, 50000)), true, true},
      {"ARP from a client", BuildFrame({.etherType = 0x0806}), false, true},
  };
  // A passing frame sent after each case shows where the case's frame went.
  const Bytes inboundMarker = BuildFrame(UdpFrame(kClient, 5353, kRemote, 53));
  const Bytes outboundMarker = BuildFrame(UdpFrame(kRemote, 53, kClient, 5353));
  for (const VerdictCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.outbound) {
      FromStack(c.frame);
      FromStack(outboundMarker);
      EXPECT_EQ(AtClients(), c.passes ? c.frame : outboundMarker);
      if (c.passes) {
        EXPECT_EQ(AtClients(), outboundMarker);
      }
    } else {
      FromClient(c.frame);
      FromClient(inboundMarker);
      EXPECT_EQ(AtStack(), c.passes ? c.frame : inboundMarker);
      if (c.passes) {
        EXPECT_EQ(AtStack(), inboundMarker);
      }
    }
    EXPECT_TRUE(clients_->Receive(0).empty() && stack_->Receive(0).empty()) << "a frame went the wrong way";
  }
}

TEST_F(TrafficTest, AClientsHttpRequestWritesOneLineToTheDaysUrlLog) {
  panel_.SendSettings("EnableUrlLog=-1\r\n");
  Settle("EnableUrlLog=-1\r\n");
  const LocalDateTime seen = clock_.LocalNow();
  const Bytes request = BuildFrame(TcpFrame(kClient, 50000, kRemote, 80, HttpGet("/news/today.html", "example.com")));
  FromClient(request);
  EXPECT_EQ(AtStack(), request);
  FromClient(BuildFrame(TcpFrame(kClient, 50000, kRemote, 80, HttpGet("/logo.png", "example.com"))));
  EXPECT_FALSE(AtStack().empty());

  char day[16];
  std::snprintf(day, sizeof day, "%04d-%02d-%02d", seen.year, seen.month, seen.day);
  std::ifstream file(machine_.Directory() + "/UrlLog/" + day + ".txt", std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), platform::FormatDefaultDateTime(seen) + "  02-1A-2B-3C-4D-EF  http://example.com/news/today.html\r\n");
}

}  // namespace
}  // namespace zl::servicetest
