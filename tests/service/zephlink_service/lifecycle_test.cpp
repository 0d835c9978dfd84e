// Starting, retrying and stopping the packet thread.
#include "service/engine/driver_binding.h"
#include "service/packet_thread_end.h"
#include "service_fixture.h"

namespace zl::servicetest {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST_F(ServiceTest, StartsBeforeTheHotspotAndBindsAtTheFirstAttemptAfterItCameUp) {
  StartHost();
  StartService();
  EXPECT_FALSE(service_->PassThruRunning());
  EXPECT_TRUE(service_->CreateThreadTimer.Enabled());
  loop_.RunFor(seconds(35));  // attempts at 10, 20 and 30 s find no hosted adapter
  EXPECT_FALSE(service_->PassThruRunning());

  StartHotspot();
  loop_.RunFor(milliseconds(4900));  // t = 39.9 s: no attempt since the adapter appeared
  EXPECT_FALSE(service_->PassThruRunning());
  loop_.RunFor(milliseconds(200));  // the attempt at 40 s
  EXPECT_TRUE(service_->PassThruRunning());
  EXPECT_FALSE(service_->CreateThreadTimer.Enabled());
  EXPECT_TRUE(WaitDiverted());
}

TEST_F(ServiceTest, WithTheHotspotUpTheThreadStartsAtOnceAndDivertsTheAdapter) {
  StartHost();
  StartHotspot();
  StartService();
  EXPECT_TRUE(service_->PassThruRunning());
  EXPECT_FALSE(service_->CreateThreadTimer.Enabled());
  ASSERT_TRUE(WaitDiverted());
  // Frames cross both ways through the thread.
  const Bytes arp = test::TestFrame(0x41);
  FromClient(arp);
  EXPECT_EQ(AtStack(), arp);
  FromStack(arp);
  EXPECT_EQ(AtClients(), arp);
}

TEST_F(ServiceTest, AStopEndsTheThreadAsleepOnAnIdleAdapterAndTheReleaseUndoesTheDiversion) {
  StartHost();
  StartHotspot();
  StartService();
  ASSERT_TRUE(WaitDiverted());
  loop_.RunFor(seconds(5));  // idle: the thread sleeps on its event

  service_.reset();
  // No frame crosses, yet the thread ends.
  EXPECT_TRUE(service::AwaitPacketThreadEnd(loop_, seconds(20)));
  EXPECT_EQ(HostedAdapterMode(), 3u) << "the binding outlives the thread until the release";
  engine::ReleaseDriver();
  EXPECT_EQ(HostedAdapterMode(), 0u);
  // Frames pass untouched again.
  const Bytes arp = test::TestFrame(0x42);
  FromClient(arp);
  EXPECT_EQ(stack_->Receive(), arp);
}

TEST_F(ServiceTest, AServiceCreatedAgainBindsTheAdapterAgain) {
  StartHost();
  StartHotspot();
  StartService();
  ASSERT_TRUE(WaitDiverted());
  StopService();
  StartService();
  ASSERT_TRUE(WaitDiverted());
  const Bytes arp = test::TestFrame(0x43);
  FromClient(arp);
  EXPECT_EQ(AtStack(), arp);
}

}  // namespace
}  // namespace zl::servicetest
