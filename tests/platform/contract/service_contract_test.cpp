// The service manager with a small demo service (zlsvcdemo): register, start,
// the states it goes through, stop, delete, and the manager's refusals.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/contract/contract_environment.h"
#include "zl/platform/errors.h"
#include "zl/platform/service_dispatcher.h"
#include "zl/platform/service_manager.h"

namespace zl::platform {
namespace {

constexpr const char* kDemoName = "ZlContractDemo";

class ServiceContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(manager.Connect("", kScManagerAllAccess), kErrorSuccess);
    RemoveDemo();
  }
  void TearDown() override { RemoveDemo(); }

  // A demo left by an interrupted run is stopped and deleted.
  void RemoveDemo() {
    ServiceHandle old;
    if (manager.OpenServiceByName(kDemoName, kServiceAllAccess, old) != kErrorSuccess) return;
    ServiceStatus status;
    old.Control(kServiceControlStop, status);
    WaitForState(old, kServiceStopped);
    old.Delete();
  }

  // Polls the service's state (the service manager has no notification
  // here) until it is `state`, for at most 20 seconds; every status seen is
  // kept.
  bool WaitForState(const ServiceHandle& service, std::uint32_t state) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      ServiceStatus status;
      if (service.QueryStatus(status) != kErrorSuccess) return false;
      seen.push_back(status);
      if (status.currentState == state) return true;
      if (std::chrono::steady_clock::now() > giveUp) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  ServiceConfig DemoConfig() const {
    ServiceConfig config;
    config.name = kDemoName;
    config.displayName = "Zephlink Contract Demo";
    config.startType = kServiceDemandStart;
    // Quoted program path, then the demo's own switch.
    config.binaryPath = '"';
    config.binaryPath += contract::BuiltProgram("zlsvcdemo");
    config.binaryPath += std::string("\" --name=") + kDemoName;
    return config;
  }

  contract::MachineScope machine;
  ServiceManagerHandle manager;
  std::vector<ServiceStatus> seen;
};

TEST_F(ServiceContract, ADemoServiceRunsStopsAndIsDeleted) {
  ServiceHandle service;
  ASSERT_EQ(manager.RegisterService(DemoConfig(), kServiceAllAccess, service), kErrorSuccess);
  ServiceStatus status;
  ASSERT_EQ(service.QueryStatus(status), kErrorSuccess);
  EXPECT_EQ(status.currentState, kServiceStopped);
  EXPECT_EQ(status.serviceType, kServiceWin32OwnProcess);

  ASSERT_EQ(service.Start(), kErrorSuccess);
  ASSERT_TRUE(WaitForState(service, kServiceRunning));
  // While starting, the service promises progress: a wait hint, and
  // checkpoints that only grow; running, both are back at zero.
  std::uint32_t lastCheckPoint = 0;
  for (const ServiceStatus& s : seen) {
    if (s.currentState != kServiceStartPending) continue;
    EXPECT_GT(s.waitHint, 0u);
    EXPECT_GE(s.checkPoint, lastCheckPoint);
    lastCheckPoint = s.checkPoint;
  }
  const ServiceStatus running = seen.back();
  EXPECT_EQ(running.checkPoint, 0u);
  EXPECT_EQ(running.waitHint, 0u);
  EXPECT_NE(running.controlsAccepted & kServiceAcceptStop, 0u);
  EXPECT_EQ(service.Start(), kErrorServiceAlreadyRunning);

  ASSERT_EQ(service.Control(kServiceControlStop, status), kErrorSuccess);
  ASSERT_TRUE(WaitForState(service, kServiceStopped));
  EXPECT_EQ(seen.back().win32ExitCode, 0u);
  EXPECT_EQ(service.Control(kServiceControlStop, status), kErrorServiceNotActive);

  ASSERT_EQ(service.Delete(), kErrorSuccess);
  service.Close();
  // A deleted service goes once no handle is left and its process has let
  // go of the manager, which may come a moment after the stopped state.
  std::uint32_t reopened = kErrorSuccess;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < giveUp) {
    ServiceHandle handle;
    reopened = manager.OpenServiceByName(kDemoName, kServiceQueryStatus, handle);
    if (reopened != kErrorSuccess) break;
    handle.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(reopened, kErrorServiceDoesNotExist);
}

TEST_F(ServiceContract, TheManagerRefusesUnknownAndDuplicateServices) {
  ServiceHandle service;
  EXPECT_EQ(manager.OpenServiceByName("ZlContractNoSuchService", kServiceQueryStatus, service),
            kErrorServiceDoesNotExist);
  EXPECT_FALSE(service.IsOpen());
  ASSERT_EQ(manager.RegisterService(DemoConfig(), kServiceAllAccess, service), kErrorSuccess);
  ServiceHandle second;
  EXPECT_EQ(manager.RegisterService(DemoConfig(), kServiceAllAccess, second), kErrorServiceExists);
  // Service names ignore letter case.
  ServiceHandle byOtherCase;
  EXPECT_EQ(manager.OpenServiceByName("zlcontractdemo", kServiceQueryStatus, byOtherCase), kErrorSuccess);
}

TEST_F(ServiceContract, AHandleOpenedForQueryingCannotStartOrDelete) {
  ServiceHandle service;
  ASSERT_EQ(manager.RegisterService(DemoConfig(), kServiceAllAccess, service), kErrorSuccess);
  ServiceHandle limited;
  ASSERT_EQ(manager.OpenServiceByName(kDemoName, kServiceQueryStatus, limited), kErrorSuccess);
  EXPECT_EQ(limited.Start(), kErrorAccessDenied);
  EXPECT_EQ(limited.Delete(), kErrorAccessDenied);
}

TEST(ServiceDispatcherContract, AProgramNotStartedAsTheServiceCannotConnect) {
  contract::MachineScope machine;
  bool ran = false;
  EXPECT_EQ(RunAsService(kDemoName, [&](ServiceControlChannel&) { ran = true; }),
            kErrorFailedServiceControllerConnect);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace zl::platform
