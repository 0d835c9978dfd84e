#include "shared/syscmd/service_commands.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "shared/support/clock.h"
#include "shared/support/event_loop.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/service_manager.h"

namespace zl::syscmd {
namespace {

namespace machine = platform::machine;
using namespace std::chrono_literals;

constexpr const char* kDemo = "DemoService";

// Registers the machine's demo service program under `name`.
void RegisterDemoService(const std::string& name) {
  platform::ServiceManagerHandle manager;
  ASSERT_EQ(manager.Connect("", platform::kScManagerAllAccess), 0u);
  platform::ServiceConfig config;
  config.name = name;
  config.displayName = name;
  config.startType = platform::kServiceDemandStart;
  config.binaryPath = "\"" + test::EmulatedMachine::ProgramsFolder() + "/zlsvcdemo\" --name=" + name;
  platform::ServiceHandle service;
  ASSERT_EQ(manager.RegisterService(config, platform::kServiceAllAccess, service), 0u);
}

// Waits for a real service process to reach a state (it acts on its own time).
bool AwaitState(const std::string& name, std::uint32_t state) {
  for (int i = 0; i < 1000; ++i) {
    if (GetServiceState("", name) == state) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

class VirtualProcessClock {
 public:
  VirtualProcessClock() { SetProcessClock(&clock); }
  ~VirtualProcessClock() { SetProcessClock(nullptr); }
  VirtualClock clock;
};

TEST(ServiceCommandsTest, UnknownServiceOrMachineHasNoState) {
  test::EmulatedMachine machine;
  EXPECT_EQ(GetServiceState("", "ZephlinkService"), 0u);
  EXPECT_FALSE(IsServiceRunning("", "ZephlinkService"));
  EXPECT_FALSE(StartServiceAndWait("", "ZephlinkService"));
  RegisterDemoService(kDemo);
  EXPECT_EQ(GetServiceState("\\\\ELSEWHERE", kDemo), 0u);
  EXPECT_EQ(GetServiceState("", kDemo), platform::kServiceStopped);
}

TEST(ServiceCommandsTest, StartsARealServiceAndSeesItRunAndStop) {
  test::EmulatedMachine machine;
  VirtualProcessClock clock;
  RegisterDemoService(kDemo);
  ASSERT_TRUE(StartServiceAndWait("", kDemo));
  EXPECT_TRUE(IsServiceRunning("", "demoservice"));
  EXPECT_FALSE(StartServiceAndWait("", kDemo));  // already running: the start fails

  platform::ServiceManagerHandle manager;
  ASSERT_EQ(manager.Connect("", platform::kScManagerConnect), 0u);
  platform::ServiceHandle service;
  ASSERT_EQ(manager.OpenServiceByName(kDemo, platform::kServiceStop | platform::kServiceQueryStatus, service), 0u);
  platform::ServiceStatus status;
  ASSERT_EQ(service.Control(platform::kServiceControlStop, status), 0u);
  EXPECT_TRUE(AwaitState(kDemo, platform::kServiceStopped));
  EXPECT_NE(machine.ReadFile("Services/DemoService.log").find("stop requested"), std::string::npos);
}

TEST(ServiceCommandsTest, DeadServiceProcessReadsAsStopped) {
  test::EmulatedMachine machine;
  RegisterDemoService(kDemo);
  ASSERT_TRUE(StartServiceAndWait("", kDemo));
  const auto services = machine::ListServices();
  ASSERT_EQ(services.size(), 1u);
  ASSERT_GT(services[0].pid, 0);
  ASSERT_EQ(kill(static_cast<pid_t>(services[0].pid), SIGKILL), 0);
  EXPECT_TRUE(AwaitState(kDemo, platform::kServiceStopped));
  EXPECT_TRUE(StartServiceAndWait("", kDemo));  // and it can be started again
}

TEST(ServiceCommandsTest, ServiceThatFailsToStart) {
  test::EmulatedMachine machine;
  RegisterDemoService(kDemo);
  ASSERT_TRUE(machine::SetFault("Services\\DemoService\\StartError", 1053));
  EXPECT_FALSE(StartServiceAndWait("", kDemo));
  EXPECT_EQ(GetServiceState("", kDemo), platform::kServiceStopped);
}

TEST(ServiceCommandsTest, NonAdministratorCanQueryButNotStart) {
  test::EmulatedMachine machine;
  RegisterDemoService(kDemo);
  ASSERT_TRUE(machine::SetFault("NotAdministrator", 1));
  EXPECT_EQ(GetServiceState("", kDemo), platform::kServiceStopped);
  EXPECT_FALSE(StartServiceAndWait("", kDemo));
}

// The states the service reports, one per status query after the start
// ("state,checkpoint,waithint"; the last one repeats), and how the wait ends.
TEST(ServiceCommandsTest, WaitFollowsTheReportedStatesOnTheProcessClock) {
  const struct {
    const char* what;
    std::vector<std::string> script;
    bool running;
    std::chrono::milliseconds waited;
  } rows[] = {
      {"runs after two checkpoints", {"2,1,1000", "2,2,1500", "4,0,0"}, true, 2500ms},
      {"running at the first query", {"4,0,0"}, true, 0ms},
      {"checkpoint going backwards ends the wait", {"2,3,1000", "2,1,1000", "4,0,0"}, false, 1000ms},
      {"backwards but running counts as running", {"2,3,1000", "4,0,0"}, true, 1000ms},
      {"stopping while starting ends the wait", {"2,1,1000", "1,0,0"}, false, 1000ms},
      {"constant checkpoint gives up after 30 s", {"2,1,2000"}, false, 30000ms},
      {"slow but moving start is waited for", {"2,1,20000", "2,2,20000", "2,3,20000", "4,0,0"}, true, 60000ms},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    test::EmulatedMachine machine;
    VirtualProcessClock clock;
    RegisterDemoService(kDemo);
    ASSERT_TRUE(machine::SetFaultText("Services\\DemoService\\StatusScript", row.script));
    const auto start = clock.clock.Now();
    EXPECT_EQ(StartServiceAndWait("", kDemo), row.running);
    EXPECT_EQ(clock.clock.Now() - start, row.waited);
  }
}

}  // namespace
}  // namespace zl::syscmd
