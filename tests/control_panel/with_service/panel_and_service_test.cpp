// The window model and TZephlinkService talking over the link as they do on
// a machine: the hello answered with the settings the service applies, and
// the service's client report turned into an entry of the "Clients" page.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "control_panel/main_form.h"
#include "control_panel/settings/settings_store.h"
#include "service/engine/driver_binding.h"
#include "service/packet_thread_end.h"
#include "service/zephlink_service.h"
#include "shared/netquery/adapter_queries.h"
#include "shared/support/poll_event_loop.h"
#include "tests/service/engine/frame_builder.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/temp_folder.h"
#include "tests/support/vorlanex_device_client.h"
#include "tests/support/vorlanex_host.h"
#include "zl/platform/machine_state.h"

namespace zl::panel::test {
namespace {

using namespace std::chrono_literals;
namespace machine = platform::machine;
namespace frames = engine::test;

class PanelAndServiceTest : public ::testing::Test {
 protected:
  PanelAndServiceTest() { SetProcessClock(&clock); }

  ~PanelAndServiceTest() override {
    if (service) {
      service.reset();
      EXPECT_TRUE(service::AwaitPacketThreadEnd(loop, std::chrono::seconds(20))) << "the packet thread did not end";
      engine::ReleaseDriver();
    }
    if (form) form->FormClose();
    form.reset();
    clients.reset();
    if (host) {
      EXPECT_EQ(host->Stop(), 0) << host->Log();
    }
    SetProcessClock(nullptr);
  }

  bool RunUntil(const std::function<bool()>& done) { return loop.RunUntil(done, std::chrono::seconds(20)); }

  // The window sets the hotspot up; the kernel host attaches to its adapter.
  void SetUpHotspot() {
    form->UserClick(form->btnOK);
    ASSERT_TRUE(form->FHotspotRunning);
    const std::string guid = netquery::GetHostedNetworkAdapterName();
    ASSERT_TRUE(RunUntil([&] {
      if (::access(zl::test::FrameEndpoint(guid, "miniport").c_str(), F_OK) != 0) return false;
      zl::test::DeviceClient device;
      return device.AdapterHandle(guid) != 0;
    })) << host->Log();
    clients = std::make_unique<zl::test::FrameSocket>(zl::test::FrameEndpoint(guid, "miniport"));
    ASSERT_TRUE(clients->Register());
  }

  void FromClient(const frames::FrameSpec& spec) { ASSERT_TRUE(clients->Send(frames::BuildFrame(spec))); }

  zl::test::EmulatedMachine machine;
  zl::test::TempFolder programFolder;
  VirtualClock clock;
  PollEventLoop loop{clock};
  std::unique_ptr<zl::test::HostProcess> host;
  std::unique_ptr<TfrmMain> form;
  std::unique_ptr<service::TZephlinkService> service;
  std::unique_ptr<zl::test::FrameSocket> clients;
};

TEST_F(PanelAndServiceTest, HelloGetsTheSettingsAndTheReportGivesAnEntry) {
  host = std::make_unique<zl::test::HostProcess>();
  ASSERT_TRUE(host->Ready()) << host->Log();
  settings::WriteDisableP2P(true);  // the service's rules then differ from its defaults
  settings::WriteEnableUrlLog(false);

  form = std::make_unique<TfrmMain>(loop, programFolder.Path() + "\\");
  form->FormCreate();
  form->FormShow();
  ASSERT_TRUE(form->HotspotServerSocket.Active());
  SetUpHotspot();

  service::ServiceOptions options;
  options.UrlLogFolder = machine.Directory() + "/UrlLog";
  service = std::make_unique<service::TZephlinkService>(loop, options);
  // The service probes the port every second and connects on 127.0.0.1.
  for (int second = 0; second < 5 && form->HotspotServerSocket.Connections().Count() == 0; ++second) {
    loop.RunFor(1s);
    RunUntil([&] { return form->HotspotServerSocket.Connections().Count() > 0; });
  }
  ASSERT_EQ(form->HotspotServerSocket.Connections().Count(), 1u);
  ASSERT_TRUE(RunUntil([&] { return service->State().SettingsPending.load(); }));
  EXPECT_NE(service->State().PendingSettingsText.find("EnableFirewall=-1\r\n"), std::string::npos);
  const std::string guid = netquery::GetHostedNetworkAdapterName();
  ASSERT_TRUE(RunUntil([&] {
    zl::test::DeviceClient device;
    const std::uint64_t adapter = device.AdapterHandle(guid);
    return adapter != 0 && device.Mode(adapter) == 3;
  })) << "the packet thread did not divert the hosted adapter";

  // The hello was answered; the packet thread applies the text at its next frame.
  machine::ClientRecord tablet;
  tablet.mac = {frames::kClientMac.begin(), frames::kClientMac.end()};
  tablet.address = "192.168.137.23";
  tablet.hostName = "tablet";
  ASSERT_TRUE(machine::SetClient(tablet));
  ASSERT_TRUE(machine::SetHostName(tablet.address, tablet.hostName));
  FromClient(frames::TcpFrame(frames::kClient, 50000, frames::kRemote, 80));
  const auto& rules = service->State().FilterRules;
  ASSERT_TRUE(RunUntil([&] { return rules.EnableFirewall; }));
  EXPECT_FALSE(rules.EnableDefaultTcpPorts);
  EXPECT_FALSE(rules.EnableDefaultUdpPorts);
  EXPECT_FALSE(rules.EnableUrlLog);

  // The report comes with the first frame after its 20 s period.
  loop.RunFor(20s);
  FromClient(frames::TcpFrame(frames::kClient, 50001, frames::kRemote, 443));
  ASSERT_TRUE(RunUntil([&] { return form->ClientEntries().size() == 1; }));
  const TfmClient& entry = *form->ClientEntries()[0];
  EXPECT_EQ(entry.FMac, "02-1A-2B-3C-4D-EF");
  EXPECT_EQ(entry.FIp, "192.168.137.23");
  EXPECT_EQ(entry.FClientName, "tablet");
}

}  // namespace
}  // namespace zl::panel::test
