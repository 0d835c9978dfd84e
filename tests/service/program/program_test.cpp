// ZephlinkSvc as a user installs and runs it on an emulated machine: the
// registration, a start through the service manager and at boot, a stop
// that ends the process and undoes the diversion, the URL log beside the
// program, and the uninstall that disallows the hosted network. These run
// in real time: every wait is bounded.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shared/support/clock.h"
#include "shared/support/poll_event_loop.h"
#include "tests/service/engine/frame_builder.h"
#include "tests/service/zephlink_service/test_panel.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/vorlanex_device_client.h"
#include "tests/support/vorlanex_host.h"
#include "zl/platform/machine_state.h"

extern char** environ;

namespace zl::servicetest {
namespace {

namespace machine = platform::machine;
using namespace zl::engine::test;
using test::Bytes;

constexpr std::uint32_t kRunning = 4;
constexpr std::uint32_t kStopped = 1;

// Runs a program with the given arguments; its exit code, -1 when it did not end normally.
int Run(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Svc(const std::vector<std::string>& args) { return Run(ZL_ZEPHLINK_SVC, args); }
int Zlmachine(const std::vector<std::string>& args) {
  return Run(test::EmulatedMachine::ProgramsFolder() + "/zlmachine", args);
}

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
  const auto giveUp = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

bool Listed(machine::ServiceRecord& record) {
  for (const machine::ServiceRecord& service : machine::ListServices()) {
    if (service.name == "ZephlinkService") {
      record = service;
      return true;
    }
  }
  return false;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Ready()) << host_.Log();
    ASSERT_EQ(machine::SetHostedNetworkMode(true), machine::HostedResult::Ok);
    ASSERT_EQ(machine::SetHostedNetworkSsid("Zephlink Test"), machine::HostedResult::Ok);
    ASSERT_EQ(machine::SetHostedNetworkKey("12345678", true), machine::HostedResult::Ok);
    ASSERT_EQ(machine::StartHostedNetwork(), machine::HostedResult::Ok);
    guid_ = machine::ReadHostedNetwork().adapterGuid;
    ASSERT_TRUE(Eventually([&] { return Mode() == 0; })) << "the host does not list the hosted adapter";
  }
  void TearDown() override {
    machine::ServiceRecord record;
    if (Listed(record) && record.state != kStopped) Zlmachine({"service", "stop", "ZephlinkService"});
    EXPECT_TRUE(Eventually([&] { return !Listed(record) || record.state == kStopped; }));
    EXPECT_EQ(host_.Stop(), 0) << "the driver left memory or saw a violation:\n" << host_.Log();
  }

  std::uint32_t Mode() {
    test::DeviceClient device;
    const std::uint64_t adapter = device.AdapterHandle(guid_);
    return adapter == 0 ? 0xFFFFFFFF : device.Mode(adapter);
  }
  bool Running(machine::ServiceRecord& record) { return Listed(record) && record.state == kRunning; }

  test::EmulatedMachine machine_;
  test::HostProcess host_;
  std::string guid_;
};

TEST_F(ProgramTest, InstallRegistersTheServiceWithItsIdentity) {
  ASSERT_EQ(Svc({"-install", "/SILENT"}), 0);
  machine::ServiceRecord record;
  ASSERT_TRUE(Listed(record));
  EXPECT_EQ(record.displayName, "Zephlink Service");
  EXPECT_EQ(record.startType, 2u);
  EXPECT_EQ(record.imagePath.find("ZephlinkSvc"), record.imagePath.size() - 12) << record.imagePath;
  EXPECT_EQ(record.state, kStopped);
  EXPECT_EQ(machine_.ReadFile("MessageBoxes.log"), "") << "SILENT shows nothing";
}

TEST_F(ProgramTest, AStartedServiceDivertsTheHotspotAndAStopEndsItsProcessAndUndoesTheDiversion) {
  ASSERT_EQ(Svc({"/INSTALL", "/SILENT"}), 0);
  ASSERT_EQ(Zlmachine({"service", "start", "ZephlinkService"}), 0);
  machine::ServiceRecord record;
  ASSERT_TRUE(Eventually([&] { return Running(record); }));
  const pid_t pid = static_cast<pid_t>(record.pid);
  ASSERT_TRUE(Eventually([&] { return Mode() == 3; })) << "the packet thread did not divert the adapter";

  test::FrameSocket clients(test::FrameEndpoint(guid_, "miniport"));
  test::FrameSocket stack(test::FrameEndpoint(guid_, "stack"));
  ASSERT_TRUE(clients.Register());
  ASSERT_TRUE(stack.Register());
  const Bytes frame = BuildFrame(TcpFrame(kClient, 50000, kRemote, 80));
  ASSERT_TRUE(clients.Send(frame));
  EXPECT_EQ(stack.Receive(), frame);

  ASSERT_EQ(Zlmachine({"service", "stop", "ZephlinkService"}), 0);
  EXPECT_TRUE(Eventually([&] { return Listed(record) && record.state == kStopped; }));
  EXPECT_TRUE(Eventually([&] { return ::kill(pid, 0) != 0; })) << "the process still runs";
  EXPECT_EQ(Mode(), 0u);
}

TEST_F(ProgramTest, BootStartsTheAutomaticService) {
  ASSERT_EQ(Svc({"/Install", "-Silent"}), 0);
  ASSERT_EQ(Zlmachine({"boot"}), 0);
  machine::ServiceRecord record;
  EXPECT_TRUE(Eventually([&] { return Running(record); }));
  EXPECT_TRUE(Eventually([&] { return Mode() == 3; }));
}

TEST_F(ProgramTest, TheUrlLogGoesToTheUrlLogFolderBesideTheProgram) {
  SystemClock clock;
  PollEventLoop loop(clock);
  TestPanel panel(loop);
  panel.SettingsOnHello = "EnableUrlLog=-1\r\n";
  panel.Listen();
  ASSERT_EQ(Svc({"/INSTALL", "/SILENT"}), 0);
  ASSERT_EQ(Zlmachine({"service", "start", "ZephlinkService"}), 0);
  ASSERT_TRUE(loop.RunUntil([&] { return panel.Hellos() == 1; }, std::chrono::seconds(20)));
  ASSERT_TRUE(Eventually([&] { return Mode() == 3; }));

  test::FrameSocket clients(test::FrameEndpoint(guid_, "miniport"));
  test::FrameSocket stack(test::FrameEndpoint(guid_, "stack"));
  ASSERT_TRUE(clients.Register());
  ASSERT_TRUE(stack.Register());
  // A path of its own: the folder beside the program is shared by every run.
  const std::string path = "/program-test/" + std::to_string(std::random_device{}()) + ".html";
  const Bytes frame = BuildFrame(TcpFrame(kClient, 50000, kRemote, 80, HttpGet(path, "example.com")));
  ASSERT_TRUE(clients.Send(frame));
  ASSERT_EQ(stack.Receive(), frame);

  const LocalDateTime today = clock.LocalNow();
  char name[32];
  std::snprintf(name, sizeof name, "/UrlLog/%04d-%02d-%02d.txt", today.year, today.month, today.day);
  const std::string file = std::string(ZL_PROGRAM_FOLDER) + name;
  EXPECT_TRUE(Eventually([&] {
    std::ifstream log(file, std::ios::binary);
    std::stringstream text;
    text << log.rdbuf();
    return text.str().find("  02-1A-2B-3C-4D-EF  http://example.com" + path + "\r\n") != std::string::npos;
  })) << file;
}

TEST_F(ProgramTest, UninstallDisallowsTheHostedNetworkAndRemovesTheService) {
  ASSERT_EQ(Svc({"/INSTALL", "/SILENT"}), 0);
  ASSERT_EQ(Svc({"-UNINSTALL", "-SILENT"}), 0);
  const machine::HostedNetworkState hosted = machine::ReadHostedNetwork();
  EXPECT_FALSE(hosted.allowed);
  EXPECT_FALSE(hosted.started);
  machine::ServiceRecord record;
  EXPECT_FALSE(Listed(record));
}

}  // namespace
}  // namespace zl::servicetest
