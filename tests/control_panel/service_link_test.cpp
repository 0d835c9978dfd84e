// The server end of the link, talked to by service-side client components
// over loopback on the link's port: hello and settings, pings, reports, and
// the options sent at once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "control_panel/settings/settings_store.h"
#include "control_panel/settings/settings_text.h"
#include "shared/messaging/client_socket.h"
#include "shared/messaging/message_codes.h"
#include "shared/messaging/message_codec.h"
#include "tests/control_panel/panel_fixture.h"
#include "zl/platform/tcp_socket.h"

namespace zl::panel::test {
namespace {

using namespace std::chrono_literals;

struct Received {
  std::uint8_t code;
  std::string text;
};

// The service's end of one connection.
class ServiceEnd {
 public:
  explicit ServiceEnd(EventLoop& loop) : socket_(loop) {
    socket_.SetClientType(ctNonBlocking);
    socket_.SetHost("127.0.0.1");
    socket_.SetPort(kControlPanelPort);
    socket_.OnReadComplete = [this](EventSender*, TrkConnectionItem&, TMemoryStream& payload) {
      const std::uint8_t code = ReadMessageCode(payload);
      received.push_back({code, ReadMessageText(payload)});
    };
  }
  void Connect() { socket_.SetActive(true); }
  bool Connected() const { return socket_.Active(); }
  void Send(const TMemoryStream& message) { socket_.ConnectionItem().Send(message); }
  std::size_t CountOf(std::uint8_t code) const {
    std::size_t count = 0;
    for (const Received& r : received) count += r.code == code ? 1 : 0;
    return count;
  }

  std::vector<Received> received;

 private:
  TrkClientSocket socket_;
};

class ServiceLinkTest : public PanelTest {
 protected:
  void Connect(ServiceEnd& end) {
    const std::size_t before = form->HotspotServerSocket.Connections().Count();
    end.Connect();
    ASSERT_TRUE(loop.RunUntil([&] { return end.Connected() && form->HotspotServerSocket.Connections().Count() > before; }));
  }
  void Report(ServiceEnd& end, const std::string& lines) {
    end.Send(NewTextMessage(lines, MSG_CLIENT_ADDRESSES));
    const std::size_t reports = reportsSeen;
    ASSERT_TRUE(loop.RunUntil([&] { return reportsSeen > reports; }));
  }
  void CountReports() {
    form->OnClientsChanged = [this] { ++reportsSeen; };
  }
  std::size_t reportsSeen = 0;
};

TEST_F(ServiceLinkTest, HelloOnEitherConnectionSendsTheSettingsToBoth) {
  ShowForm();
  ServiceEnd first(loop);
  ServiceEnd second(loop);
  Connect(first);
  Connect(second);
  second.Send(NewMessage(MSG_SERVICE_HELLO));
  ASSERT_TRUE(loop.RunUntil([&] { return first.CountOf(MSG_SETTINGS) == 1 && second.CountOf(MSG_SETTINGS) == 1; }));
  const std::string expected = settings::JoinSettingsLines(form->FSettingsLines);
  EXPECT_EQ(first.received.back().text, expected);
  EXPECT_EQ(second.received.back().text, expected);
  EXPECT_EQ(expected.substr(0, 28), "FreeUrlList=\r\nFreeMacList=\r\n");

  // Other codes are not answered.
  first.Send(NewMessage(77));
  first.Send(NewMessage(MSG_PING));
  second.Send(NewMessage(MSG_SERVICE_HELLO));
  ASSERT_TRUE(loop.RunUntil([&] { return first.CountOf(MSG_SETTINGS) == 2; }));
  EXPECT_EQ(first.received.size(), 2u);
}

TEST_F(ServiceLinkTest, EveryConnectionIsPingedEveryTwentySeconds) {
  ShowForm();
  ServiceEnd first(loop);
  ServiceEnd second(loop);
  Connect(first);
  Connect(second);
  loop.RunFor(std::chrono::milliseconds(kPingTimerInterval - 1));
  loop.RunUntil([] { return false; }, 50ms);
  EXPECT_EQ(first.CountOf(MSG_PING), 0u);
  loop.RunFor(1ms);
  ASSERT_TRUE(loop.RunUntil([&] { return first.CountOf(MSG_PING) == 1 && second.CountOf(MSG_PING) == 1; }));
  loop.RunFor(std::chrono::milliseconds(kPingTimerInterval));
  ASSERT_TRUE(loop.RunUntil([&] { return first.CountOf(MSG_PING) == 2 && second.CountOf(MSG_PING) == 2; }));
  EXPECT_TRUE(first.received.front().text.empty());

  form->FormClose();
  EXPECT_EQ(form->HotspotServerSocket.Connections().Count(), 0u);
}

// Only the loopback address is listened on: nothing on another address of
// the machine reaches the settings or can feed reports.
TEST_F(ServiceLinkTest, ServerListensOnTheLoopbackAddressOnly) {
  ShowForm();
  ASSERT_TRUE(form->HotspotServerSocket.Active());
  EXPECT_EQ(form->HotspotServerSocket.BindAddress(), "127.0.0.1");
  const auto connectsTo = [](const char* dotted) {
    platform::IPv4Address address = 0;
    EXPECT_TRUE(platform::ParseDottedIPv4(dotted, address));
    platform::SocketHandle socket = platform::kInvalidSocket;
    const platform::IoResult started = platform::ConnectTcp(address, static_cast<std::uint16_t>(kControlPanelPort), socket);
    if (started.status == platform::IoStatus::kFailed) return false;
    bool connected = started.status == platform::IoStatus::kDone;
    for (int i = 0; !connected && i < 200; ++i) {
      const int error = platform::TakeSocketError(socket);
      if (error != 0) break;
      std::uint8_t none = 0;
      const platform::IoResult sent = platform::Send(socket, {&none, 0});
      if (sent.status == platform::IoStatus::kDone) connected = true;
      std::this_thread::sleep_for(5ms);
    }
    platform::CloseSocket(socket);
    return connected;
  };
  // 127.0.0.2 is another address of this namespace's loopback interface.
  EXPECT_FALSE(connectsTo("127.0.0.2"));
  EXPECT_TRUE(connectsTo("127.0.0.1"));
}

TEST_F(ServiceLinkTest, ReportBecomesEntriesWhileTheHotspotRuns) {
  ShowForm();
  CountReports();
  ServiceEnd service(loop);
  Connect(service);
  AddClient("0A-00-00-00-00-01", "192.168.137.20", "phone");

  // Stopped: the report changes nothing.
  service.Send(NewTextMessage("192.168.137.20", MSG_CLIENT_ADDRESSES));
  loop.RunUntil([] { return false; }, 100ms);
  EXPECT_TRUE(form->ClientEntries().empty());

  form->UserClick(form->btnOK);
  ASSERT_TRUE(form->FHotspotRunning);
  Report(service, "192.168.137.20\r\n192.168.137.1\r\nnot an address\r\n192.168.137.99");
  ASSERT_EQ(form->ClientEntries().size(), 1u);
  const TfmClient& entry = *form->ClientEntries()[0];
  EXPECT_EQ(entry.FMac, "0A-00-00-00-00-01");
  EXPECT_EQ(entry.FIp, "192.168.137.20");
  EXPECT_EQ(entry.FClientName, "phone");
  EXPECT_EQ(entry.lbClientName.Caption(), "phone");
  EXPECT_EQ(entry.lbMac.Caption(), "Mac: 0A-00-00-00-00-01");
  EXPECT_EQ(entry.lbIp.Caption(), "IP: 192.168.137.20");
  EXPECT_EQ(form->FClientLines.size(), 4u);
}

TEST_F(ServiceLinkTest, OptionClicksAreStoredAndSentAtOnce) {
  ShowForm();
  // No service connected: the click stores and sends nothing.
  form->UserClick(form->cbDisableP2P);
  EXPECT_TRUE(settings::ReadDisableP2P());
  EXPECT_EQ(form->FSettingsLines[2], "EnableFirewall=-1");

  ServiceEnd service(loop);
  Connect(service);
  form->UserClick(form->cbDisableP2P);
  ASSERT_TRUE(loop.RunUntil([&] { return service.CountOf(MSG_SETTINGS) == 1; }));
  EXPECT_EQ(service.received.back().text,
            "FreeUrlList=\r\nFreeMacList=\r\nEnableFirewall=0\r\nEnableDefaultTcpPorts=-1\r\n"
            "EnableDefaultUdpPorts=-1\r\nEnabledTcpPorts=\r\nDisabledTcpPorts=\r\nEnabledUdpPorts=\r\n"
            "DisabledUdpPorts=\r\nEnableUrlLog=-1\r\n");
  form->UserClick(form->cbDisableP2P);
  ASSERT_TRUE(loop.RunUntil([&] { return service.CountOf(MSG_SETTINGS) == 2; }));
  EXPECT_NE(service.received.back().text.find("EnableFirewall=-1\r\n"), std::string::npos);
  EXPECT_NE(service.received.back().text.find("EnabledTcpPorts=80;8080;8081;443;21;25;110;67;68\r\n"),
            std::string::npos);
  EXPECT_NE(service.received.back().text.find("EnabledUdpPorts=110;53;67;68\r\n"), std::string::npos);
}

}  // namespace
}  // namespace zl::panel::test
