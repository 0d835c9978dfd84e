#include "shared/syscmd/service_application.h"

#include <gtest/gtest.h>
#include <signal.h>

#include "shared/syscmd/registry_commands.h"
#include "shared/syscmd/run_and_wait.h"
#include "shared/syscmd/service_commands.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/service_manager.h"

namespace zl::syscmd {
namespace {

namespace machine = platform::machine;

TEST(ServiceSwitchesTest, AnyLetterCaseLedBySlashOrDash) {
  const struct {
    std::vector<std::string> args;
    bool install, uninstall, silent;
  } rows[] = {
      {{"/INSTALL"}, true, false, false},
      {{"-install", "/Silent"}, true, false, true},
      {{"/UnInstall", "-SILENT"}, false, true, true},
      {{"INSTALL"}, false, false, false},     // no leading "/" or "-"
      {{"/installs"}, false, false, false},   // whole words only
      {{"--install"}, false, false, false},
      {{}, false, false, false},
      {{"/silent"}, false, false, true},
  };
  for (const auto& row : rows) {
    const ServiceSwitches switches = ParseServiceSwitches(row.args);
    EXPECT_EQ(switches.install, row.install);
    EXPECT_EQ(switches.uninstall, row.uninstall);
    EXPECT_EQ(switches.silent, row.silent);
  }
}

std::string Demo() { return test::EmulatedMachine::ProgramsFolder() + "/zlsvcdemo"; }

constexpr const char* kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\Svc";

// Uninstalling leaves a running service's process running, as on Windows;
// the test ends the processes of the services it started, also on failure.
class EndStartedServices {
 public:
  EndStartedServices() {
    for (const auto& service : machine::ListServices()) {
      if (service.pid > 0) pids_.push_back(static_cast<pid_t>(service.pid));
    }
  }
  ~EndStartedServices() {
    for (pid_t pid : pids_) kill(pid, SIGKILL);
  }

 private:
  std::vector<pid_t> pids_;
};

TEST(ServiceApplicationTest, InstallsRunsAndUninstallsAsAnOwnProcessService) {
  test::EmulatedMachine machine;
  ASSERT_EQ(RunAndWait("open", Demo(), "--name=Svc /INSTALL", true, 0), 0);
  EXPECT_EQ(machine.ReadFile("MessageBoxes.log"), "[Svc Service] Service installed successfully\n");
  EXPECT_EQ(ReadRegString(kServiceKey, "DisplayName"), "Svc Service");
  EXPECT_EQ(ReadRegString(kServiceKey, "ObjectName"), "LocalSystem");
  EXPECT_NE(ReadRegString(kServiceKey, "ImagePath").find("zlsvcdemo\" --name=Svc"), std::string::npos);
  const auto services = machine::ListServices();
  ASSERT_EQ(services.size(), 1u);
  EXPECT_EQ(services[0].startType, platform::kServiceDemandStart);

  EXPECT_TRUE(StartServiceAndWait("", "Svc"));
  EXPECT_EQ(GetServiceState("", "Svc"), platform::kServiceRunning);
  const EndStartedServices endStartedServices;  // before the uninstall drops the registration

  ASSERT_EQ(RunAndWait("open", Demo(), "--name=Svc -uninstall -silent", true, 0), 0);
  EXPECT_FALSE(RegValueExists(kServiceKey, "ImagePath"));
  EXPECT_EQ(GetServiceState("", "Svc"), 0u);
  EXPECT_EQ(machine.ReadFile("MessageBoxes.log"), "[Svc Service] Service installed successfully\n");
}

TEST(ServiceApplicationTest, FailuresAreConfirmedUnlessSilent) {
  test::EmulatedMachine machine;
  ASSERT_EQ(RunAndWait("open", Demo(), "--name=Svc /install /silent", true, 0), 0);
  EXPECT_EQ(machine.ReadFile("MessageBoxes.log"), "");
  EXPECT_EQ(RunAndWait("open", Demo(), "--name=Svc /install /silent", true, 0), 1);  // exists already
  EXPECT_EQ(RunAndWait("open", Demo(), "--name=Svc /install", true, 0), 1);
  EXPECT_EQ(machine.ReadFile("MessageBoxes.log"),
            "[Svc Service] Service \"Svc Service\" failed to install with error: \"error 1073\"\n");
  EXPECT_EQ(RunAndWait("open", Demo(), "--name=Other /uninstall", true, 0), 1);
}

TEST(ServiceApplicationTest, OutsideTheServiceManagerNothingRuns) {
  test::EmulatedMachine machine;
  EXPECT_EQ(RunAndWait("open", Demo(), "--name=Svc", true, 0), 1);
}

TEST(ServiceApplicationTest, BeforeUninstallRunsFirstAndItsErrorsAreSwallowed) {
  test::EmulatedMachine machine;
  VirtualClock clock;
  PollEventLoop loop(clock);
  std::vector<std::string> order;
  ServiceDefinition definition;
  definition.name = "Inline";
  definition.displayName = "Inline Service";
  definition.beforeUninstall = [&] {
    order.push_back("before");
    throw std::runtime_error("ignored");
  };
  ServiceApplication application(definition, loop);
  ASSERT_EQ(application.Run({"/install", "/silent"}), 0);
  EXPECT_TRUE(RegValueExists("SYSTEM\\CurrentControlSet\\Services\\Inline", "ImagePath"));
  EXPECT_EQ(application.Run({"/uninstall", "/silent"}), 0);
  EXPECT_EQ(order, std::vector<std::string>{"before"});
  EXPECT_FALSE(RegValueExists("SYSTEM\\CurrentControlSet\\Services\\Inline", "ImagePath"));
}

}  // namespace
}  // namespace zl::syscmd
