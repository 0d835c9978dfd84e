// The control panel keeps the service running and the service finds the
// panel again; a stopped service leaves every adapter as it found it.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <string>

#include "tests/e2e/system_fixture.h"
#include "zl/platform/machine_state.h"

namespace zl::e2e {
namespace {

// Gone, or a zombie nobody has collected yet.
bool ProcessEnded(std::int64_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return true;
  const std::size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && (text[close + 2] == 'Z' || text[close + 2] == 'X');
}

TEST_F(SystemTest, AKilledServiceIsRestartedAndAReopenedPanelIsFoundAgain) {
  OpenPanel();
  ASSERT_TRUE(SetUpHotspot("E2E Hotspot", "geheim123"));
  StartTraffic({"--clients", "1", "--rate", "2", "--mix", "p2p=0"});
  Panel().UserSelectPage(2);
  Panel().UserClick(Panel().cbDisableP2P);
  ASSERT_TRUE(RunUntil([&] { return ServiceConnections() == 1 && SendAndCount(1, "p2p", "tcp/6881") == 0; }));

  const std::int64_t killed = ServicePid();
  ASSERT_GT(killed, 0);
  // The panel's service checks, counted (their 5 s are half a second at the
  // machine's rate, and a loaded machine stretches that: periods, not
  // seconds, are what the check promises).
  int checks = 0;
  Panel().HotspotServiceTimer.OnTimer = [&, check = Panel().HotspotServiceTimer.OnTimer] {
    ++checks;
    check();
  };
  ASSERT_EQ(kill(pid_t(killed), SIGKILL), 0);
  ASSERT_TRUE(RunUntil([&] { return ProcessEnded(killed); }));
  const int checksAtKill = checks;
  // The next check starts it again; it greets the panel and gets the settings again.
  ASSERT_TRUE(RunUntil([&] { return StartedServicePid() > 0 && StartedServicePid() != killed; }));
  EXPECT_LE(checks - checksAtKill, 1) << "started by the first check after it died";
  ASSERT_TRUE(RunUntil([&] { return ServicePid() > 0 && ServicePid() != killed; }));
  EXPECT_TRUE(RunUntil([&] { return AdapterMode(HostedAdapterGuid()) == kModeDivertBoth; }));
  EXPECT_TRUE(RunUntil([&] { return ServiceConnections() == 1; })) << "the old connection went, the new one came";
  // The service starts with its built-in defaults (nothing blocked) until
  // the panel's settings arrive; once they have, BitTorrent is dropped again.
  EXPECT_TRUE(RunUntil([&] { return SendAndCount(1, "p2p", "tcp/6881") == 0; }));
  EXPECT_EQ(SendAndCount(1, "p2p", "tcp/6881"), 0u);

  // The panel's program ends without closing its window, and starts again.
  KillPanel();
  RunUntil([] { return false; }, std::chrono::milliseconds(500));
  OpenPanel();
  EXPECT_TRUE(Panel().FHotspotRunning) << "the hosted adapter is there: the hotspot shows as running";
  EXPECT_EQ(Panel().SetupButtonCaptionKey(), "22") << "the set-up button offers to stop it";
  EXPECT_TRUE(RunUntil([&] { return ServiceConnections() == 1; })) << "the service reconnected";
  EXPECT_TRUE(RunUntil([&] { return ClientsPage().size() == 1; })) << "its reports reach the new window";
  EXPECT_EQ(SendAndCount(1, "p2p", "tcp/6881"), 0u) << "the settings still hold";
}

TEST_F(SystemTest, AServiceStoppedThroughTheServiceManagerLeavesEveryAdapterPassing) {
  OpenPanel();
  ASSERT_TRUE(SetUpHotspot("E2E Hotspot", "geheim123"));
  StartTraffic({"--clients", "1", "--idle"});
  Panel().UserSelectPage(2);
  Panel().UserClick(Panel().cbDisableP2P);
  ASSERT_TRUE(RunUntil([&] { return SendAndCount(1, "p2p", "tcp/6881") == 0; }));
  ASSERT_EQ(AdapterMode(HostedAdapterGuid()), kModeDivertBoth);

  // Closed, the panel no longer restarts the service.
  ClosePanel();
  ASSERT_TRUE(StopService());
  EXPECT_TRUE(RunUntil([&] {
    const auto modes = AdapterModes();
    return !modes.empty() && std::all_of(modes.begin(), modes.end(), [](const auto& m) { return m.second == 0; });
  })) << ::testing::PrintToString(AdapterModes());
  // Nothing judges the frames now: BitTorrent and the web both pass.
  EXPECT_GE(SendAndCount(1, "p2p", "tcp/6881"), 1u);
  EXPECT_GE(SendAndCount(1, "tls", "tcp/443"), 1u);
  EXPECT_EQ(ReachedInternet().count("damaged"), 0u) << "every frame arrived as its client sent it";
  EXPECT_FALSE(ServiceRunning());
}

}  // namespace
}  // namespace zl::e2e
