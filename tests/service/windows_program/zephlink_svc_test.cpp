// ZephlinkSvc.exe as Windows runs it (here under Wine, in a network
// namespace of its own): installed with /INSTALL /SILENT, started by the
// service manager, greeting a test panel on 127.0.0.1:7467 and taking its
// settings, stopped, and removed with /UNINSTALL /SILENT. Every wait is bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "shared/messaging/message_codes.h"
#include "shared/support/clock.h"
#include "shared/support/poll_event_loop.h"
#include "tests/service/zephlink_service/test_panel.h"
#include "zl/platform/errors.h"
#include "zl/platform/process.h"
#include "zl/platform/registry.h"
#include "zl/platform/service_manager.h"

namespace zl::servicetest {
namespace {

using namespace zl::platform;

constexpr const char* kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\ZephlinkService";

std::string ServiceProgram() {
  std::string path = ZL_ZEPHLINK_SVC;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + path;
}

int RunProgram(const std::string& arguments) {
  const std::string program = ServiceProgram();
  ProcessHandle process;
  std::string line(1, '"');
  line.append(program).append("\" ").append(arguments);
  if (!StartProgram(program, line, process)) return -1;
  if (process.Wait(60000) != ProcessHandle::WaitResult::Ended) return -2;
  std::int32_t code = -3;
  process.GetExitCode(code);
  return code;
}

bool WaitForState(const ServiceHandle& service, std::uint32_t state, PollEventLoop& loop) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    ServiceStatus status;
    if (service.QueryStatus(status) != kErrorSuccess) return false;
    if (status.currentState == state) return true;
    if (std::chrono::steady_clock::now() > giveUp) return false;
    loop.RunUntil([] { return false; }, std::chrono::milliseconds(20));
  }
}

TEST(ZephlinkSvcUnderWine, InstallStartGreetTheControlPanelStopUninstall) {
  ASSERT_EQ(kControlPanelPort, 7467);
  RunProgram("/UNINSTALL /SILENT");  // what an interrupted run left behind

  ASSERT_EQ(RunProgram("/INSTALL /SILENT"), 0);
  {
    RegistryKey key;
    ASSERT_EQ(key.Open(kServiceKey, kKeyRead), kErrorSuccess);
    RegistryValue value;
    ASSERT_EQ(key.QueryValue("DisplayName", value), kErrorSuccess);
    EXPECT_EQ(StringFromValue(value), "Zephlink Service");
    ASSERT_EQ(key.QueryValue("Start", value), kErrorSuccess);
    EXPECT_EQ(value.data, MakeDwordValue(kServiceAutoStart).data);
    ASSERT_EQ(key.QueryValue("Type", value), kErrorSuccess);
    EXPECT_EQ(value.data, MakeDwordValue(kServiceWin32OwnProcess).data);
    ASSERT_EQ(key.QueryValue("ImagePath", value), kErrorSuccess);
    std::string quoted(1, '"');
    quoted.append(ServiceProgram()).append(1, '"');
    EXPECT_EQ(StringFromValue(value), quoted);
  }

  SystemClock clock;
  PollEventLoop loop(clock);
  TestPanel panel(loop);
  panel.SettingsOnHello = "EnableUrlLog=-1\r\n";
  panel.Listen();

  ServiceManagerHandle manager;
  ASSERT_EQ(manager.Connect("", kScManagerAllAccess), kErrorSuccess);
  ServiceHandle service;
  ASSERT_EQ(manager.OpenServiceByName("ZephlinkService", kServiceAllAccess, service), kErrorSuccess);
  ASSERT_EQ(service.Start(), kErrorSuccess);
  ASSERT_TRUE(WaitForState(service, kServiceRunning, loop));

  // The service probes the port, says hello, and is sent its settings.
  ASSERT_TRUE(loop.RunUntil([&] { return panel.Hellos() >= 1; }, std::chrono::seconds(30)));
  EXPECT_GE(panel.Connections(), 1u);
  loop.RunUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_GE(panel.Connections(), 1u);  // the settings were taken, the session stays

  ServiceStatus status;
  ASSERT_EQ(service.Control(kServiceControlStop, status), kErrorSuccess);
  ASSERT_TRUE(WaitForState(service, kServiceStopped, loop));
  EXPECT_TRUE(loop.RunUntil([&] { return panel.SessionsEnded() >= 1; }, std::chrono::seconds(10)));
  service.Close();
  panel.StopListening();

  ASSERT_EQ(RunProgram("/UNINSTALL /SILENT"), 0);
  // Gone once the stopped process has let go of the manager as well.
  std::uint32_t reopened = kErrorSuccess;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < giveUp) {
    ServiceHandle handle;
    reopened = manager.OpenServiceByName("ZephlinkService", kServiceQueryStatus, handle);
    if (reopened != kErrorSuccess) break;
    handle.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(reopened, kErrorServiceDoesNotExist);
  RegistryKey key;
  EXPECT_EQ(key.Open(kServiceKey, kKeyRead), kErrorFileNotFound);
}

}  // namespace
}  // namespace zl::servicetest
