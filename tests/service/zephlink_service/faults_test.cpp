// A machine without the client library, a driver that is not running, a
// driver without the hosted adapter and an adapter that goes away: the
// service keeps running and starts its thread again as paced.
#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "service_fixture.h"
#include "zl/platform/machine_state.h"

namespace zl::servicetest {
namespace {

using std::chrono::seconds;

std::string SystemLibrary() { return platform::machine::SystemFolder() + "/VorlanexApi.dll"; }

class ServiceFaultTest : public ServiceTest {
 protected:
  // A start attempt and its one immediate retry have both ended.
  bool WaitRetriesDone() {
    return RunUntil([&] { return !service_->PassThruRunning() && service_->CreateThreadTimer.Enabled(); });
  }
  void ReplaceLibrary(const std::string& with) {
    ::unlink(SystemLibrary().c_str());
    if (!with.empty()) {
      ASSERT_EQ(::symlink(with.c_str(), SystemLibrary().c_str()), 0);
    }
  }
};

TEST_F(ServiceFaultTest, WithoutTheClientLibraryTheTimerRetriesUntilItIsBack) {
  StartHost();
  StartHotspot();
  char real[4096] = {};
  ASSERT_GT(::readlink(SystemLibrary().c_str(), real, sizeof real - 1), 0);
  ReplaceLibrary("");
  StartService();
  ASSERT_TRUE(WaitRetriesDone());
  loop_.RunFor(seconds(10));
  ASSERT_TRUE(WaitRetriesDone());
  EXPECT_EQ(HostedAdapterMode(), 0u);

  ReplaceLibrary(real);
  loop_.RunFor(seconds(10));
  EXPECT_TRUE(service_->PassThruRunning());
  EXPECT_TRUE(WaitDiverted());
}

TEST_F(ServiceFaultTest, WithoutTheDriverTheTimerRetriesUntilItRuns) {
  StartHotspot();
  StartService();
  ASSERT_TRUE(WaitRetriesDone());
  loop_.RunFor(seconds(30));
  ASSERT_TRUE(WaitRetriesDone());

  StartHost();
  StartHotspot();  // waits for the host to list the running hosted network's adapter
  loop_.RunFor(seconds(10));
  EXPECT_TRUE(WaitDiverted());
}

TEST_F(ServiceFaultTest, AThreadThatEndsAtEveryStartIsRetriedTwiceEveryTenSecondsAndClosesItsHandles) {
  StartHotspot();
  ReplaceLibrary(ZL_COUNTING_LIBRARY);
  StartService();
  ASSERT_TRUE(WaitRetriesDone());
  for (int tick = 0; tick < 6; ++tick) {
    loop_.RunFor(seconds(10));
    ASSERT_TRUE(WaitRetriesDone());
  }
  void* library = ::dlopen(ZL_COUNTING_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(library, nullptr) << "the service has not loaded the stand-in";
  auto counts = reinterpret_cast<void (*)(int*, int*)>(::dlsym(library, "StandinHandleCounts"));
  ASSERT_NE(counts, nullptr);
  int opened = 0, open = 0;
  counts(&opened, &open);
  ::dlclose(library);
  EXPECT_EQ(opened, 2 + 6 * 2) << "the start in ServiceCreate and each tick, each with one immediate retry";
  EXPECT_EQ(open, 0);
}

TEST_F(ServiceFaultTest, AThreadWhoseAdapterWentAwayKeepsWaitingAndTheServiceStopsCleanly) {
  StartHost();
  StartHotspot();
  StartService();
  ASSERT_TRUE(WaitDiverted());
  ASSERT_EQ(platform::machine::StopHostedNetwork(), platform::machine::HostedResult::Ok);
  ASSERT_TRUE(RunUntil([&] { return HostedAdapterMode() == 0xFFFFFFFF; })) << "the host still lists the adapter";
  loop_.RunFor(seconds(60));
  EXPECT_TRUE(service_->PassThruRunning());
  EXPECT_FALSE(service_->CreateThreadTimer.Enabled());
}

}  // namespace
}  // namespace zl::servicetest
