#include "service_fixture.h"

#include <unistd.h>

#include "service/engine/driver_binding.h"
#include "service/packet_thread_end.h"
#include "tests/support/vorlanex_device_client.h"
#include "zl/platform/machine_state.h"

namespace zl::servicetest {

namespace machine = platform::machine;

void ServiceTest::TearDown() {
  StopService();
  panel_.StopListening();
  clients_.reset();
  stack_.reset();
  if (host_) {
    EXPECT_EQ(host_->Stop(), 0) << "the driver left memory or saw a violation:\n" << host_->Log();
  }
}

void ServiceTest::StartHost() {
  host_ = std::make_unique<test::HostProcess>();
  ASSERT_TRUE(host_->Ready()) << host_->Log();
}

void ServiceTest::StartHotspot() {
  ASSERT_EQ(machine::SetHostedNetworkMode(true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkSsid("Zephlink Test"), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkKey("12345678", true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::StartHostedNetwork(), machine::HostedResult::Ok);
  hostedGuid_ = machine::ReadHostedNetwork().adapterGuid;
  if (!host_) return;
  // The kernel host attaches the adapter once it sees the hosted network run.
  const bool listed = RunUntil([&] {
    if (::access(test::FrameEndpoint(hostedGuid_, "stack").c_str(), F_OK) != 0) return false;
    test::DeviceClient device;
    return device.AdapterHandle(hostedGuid_) != 0;
  });
  ASSERT_TRUE(listed) << host_->Log();
  clients_ = std::make_unique<test::FrameSocket>(test::FrameEndpoint(hostedGuid_, "miniport"));
  stack_ = std::make_unique<test::FrameSocket>(test::FrameEndpoint(hostedGuid_, "stack"));
  ASSERT_TRUE(clients_->Register());
  ASSERT_TRUE(stack_->Register());
}

void ServiceTest::StartService() {
  service::ServiceOptions options;
  options.UrlLogFolder = machine_.Directory() + "/UrlLog";
  service_ = std::make_unique<service::TZephlinkService>(loop_, options);
}

void ServiceTest::StartDivertedService() {
  StartHost();
  StartHotspot();
  StartService();
  ASSERT_TRUE(WaitDiverted());
}

void ServiceTest::StopService() {
  if (!service_) return;
  service_.reset();
  // A thread may wait for a synchronised call: the loop keeps serving it.
  EXPECT_TRUE(service::AwaitPacketThreadEnd(loop_, std::chrono::seconds(20)))
      << "the packet thread did not end";
  engine::ReleaseDriver();
}

std::uint32_t ServiceTest::HostedAdapterMode() {
  test::DeviceClient device;
  const std::uint64_t adapter = device.AdapterHandle(hostedGuid_);
  return adapter == 0 ? 0xFFFFFFFF : device.Mode(adapter);
}

bool ServiceTest::WaitDiverted() { return RunUntil([&] { return HostedAdapterMode() == 3; }); }

void ServiceTest::FromClient(const Bytes& frame) { ASSERT_TRUE(clients_->Send(frame)); }
void ServiceTest::FromStack(const Bytes& frame) { ASSERT_TRUE(stack_->Send(frame)); }

Bytes ServiceTest::AtStack() { return NextFrame(*stack_); }

Bytes ServiceTest::AtClients() { return NextFrame(*clients_); }

Bytes ServiceTest::NextFrame(test::FrameSocket& socket) {
  Bytes frame;
  // The condition is asked once more after it held: keep what came.
  RunUntil([&] {
    if (frame.empty()) frame = socket.Receive(0);
    return !frame.empty();
  });
  return frame;
}

void ServiceTest::ConnectPanel() {
  const int hellos = panel_.Hellos();
  panel_.Listen();
  // The probe runs every second of the clock; the connect itself is real.
  for (int second = 0; second < 5 && panel_.Hellos() == hellos; ++second) {
    loop_.RunFor(std::chrono::seconds(1));
    RunUntil([&] { return panel_.Hellos() > hellos; });
  }
  ASSERT_GT(panel_.Hellos(), hellos);
}

}  // namespace zl::servicetest
