// The session to the control panel: the hello, the silence timeout, a
// restarted panel, and the client address report every 20 seconds.
#include "service_fixture.h"
#include "tests/service/engine/frame_builder.h"

namespace zl::servicetest {
namespace {

using namespace zl::engine::test;
using std::chrono::seconds;

const std::string kSettings = "EnableFirewall=-1\r\nDisabledTcpPorts=22\r\n";

class LinkTest : public ServiceTest {
 protected:
  void SetUp() override {
    StartDivertedService();
    panel_.SettingsOnHello = kSettings;
  }
  // Advances the clock, pinging every 20 seconds as the control panel does.
  void RunPinged(int seconds) {
    for (int elapsed = 0; elapsed < seconds; elapsed += 20) {
      loop_.RunFor(std::chrono::seconds(std::min(20, seconds - elapsed)));
      panel_.SendPing();
    }
  }
  void Pass(const Bytes& frame) {
    FromClient(frame);
    ASSERT_EQ(AtStack(), frame);
  }
  bool WaitReports(std::size_t count) { return RunUntil([&] { return panel_.Reports().size() >= count; }); }
};

TEST_F(LinkTest, TheHelloIsAnsweredWithTheSettings) {
  ConnectPanel();
  EXPECT_EQ(panel_.Hellos(), 1);
  EXPECT_TRUE(RunUntil([&] { return service_->State().PendingSettingsText == kSettings; }));
  EXPECT_TRUE(service_->State().SettingsPending);
}

TEST_F(LinkTest, SixtySecondsWithoutAPingCloseTheSessionAndTheNextProbeReopensIt) {
  ConnectPanel();
  RunPinged(100);  // pings keep it open
  EXPECT_EQ(panel_.SessionsEnded(), 0);
  EXPECT_EQ(panel_.Hellos(), 1);

  loop_.RunFor(seconds(59));
  EXPECT_TRUE(service_->ClientSocket.Active());
  loop_.RunFor(seconds(1));
  EXPECT_FALSE(service_->ClientSocket.Active());
  ASSERT_TRUE(RunUntil([&] { return panel_.SessionsEnded() == 1; }));
  EXPECT_TRUE(service_->SocketConnectionTimer.Enabled());
  EXPECT_FALSE(service_->SocketPingTimer.Enabled());

  service_->State().PendingSettingsText.clear();
  loop_.RunFor(seconds(1));
  ASSERT_TRUE(RunUntil([&] { return panel_.Hellos() == 2; }));
  EXPECT_TRUE(RunUntil([&] { return service_->State().PendingSettingsText == kSettings; }));
}

TEST_F(LinkTest, ARestartedPanelGetsAHelloAndSendsTheSettingsAgain) {
  ConnectPanel();
  panel_.StopListening();
  ASSERT_TRUE(RunUntil([&] { return !service_->ClientSocket.Active(); }));
  EXPECT_TRUE(service_->SocketConnectionTimer.Enabled());
  loop_.RunFor(seconds(5));  // probes find nothing
  service_->State().PendingSettingsText.clear();
  ConnectPanel();
  EXPECT_EQ(panel_.Hellos(), 2);
  EXPECT_TRUE(RunUntil([&] { return service_->State().PendingSettingsText == kSettings; }));
}

TEST_F(LinkTest, TheReportGoesAtTheNextFrameAfterTwentySecondsWithTheAddressesInFirstSeenOrder) {
  panel_.SettingsOnHello.clear();
  ConnectPanel();
  // The report of the first period (started with the service) goes with the
  // first frame; it holds nothing.
  RunPinged(20);
  Pass(BuildFrame(TcpFrame(kClient, 50000, kRemote, 80)));
  ASSERT_TRUE(WaitReports(1));
  EXPECT_EQ(panel_.Reports()[0], "");

  // The frame that carried the report was noted after it: 192.168.137.23.
  Pass(BuildFrame(UdpFrame({192, 168, 137, 50}, 5353, kHotspot, 53)));
  Pass(BuildFrame(TcpFrame({10, 192, 168, 5}, 443, kClient, 50000)));
  Pass(BuildFrame(TcpFrame({192, 169, 0, 1}, 443, kClient, 50000)));
  RunPinged(100);
  EXPECT_EQ(panel_.Reports().size(), 1u) << "no report goes without a frame";

  Pass(BuildFrame({.etherType = 0x0806}));
  ASSERT_TRUE(WaitReports(2));
  EXPECT_EQ(panel_.Reports()[1], "192.168.137.23\r\n192.168.137.1\r\n192.168.137.50\r\n10.192.168.5\r\n");

  RunPinged(20);
  Pass(BuildFrame({.etherType = 0x0806}));
  ASSERT_TRUE(WaitReports(3));
  EXPECT_EQ(panel_.Reports()[2], "") << "active, and no address seen";
}

TEST_F(LinkTest, AddressesOfAReportDueWithoutASessionAreDiscarded) {
  panel_.SettingsOnHello.clear();
  Pass(BuildFrame(TcpFrame({192, 168, 137, 77}, 50000, kRemote, 80)));
  loop_.RunFor(seconds(20));
  Pass(BuildFrame({.etherType = 0x0806}));  // the report is due, with no session
  ConnectPanel();
  RunPinged(20);
  Pass(BuildFrame({.etherType = 0x0806}));
  ASSERT_TRUE(WaitReports(1));
  EXPECT_EQ(panel_.Reports()[0], "");
}

}  // namespace
}  // namespace zl::servicetest
