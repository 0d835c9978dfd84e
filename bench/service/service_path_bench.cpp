// One machine, one vorlanex-host and the hotspot for the whole run. Each
// iteration puts kFrames client frames (TCP to a remote web port, so each is
// judged and its addresses noted) into the hosted adapter's miniport endpoint
// and takes them out of its stack endpoint. In between: nothing (mode 0), the
// library's own loop (ReadPacket, SendPacketToMstcp, one frame per request),
// or the packet thread of a TZephlinkService. Compare items_per_second of the
// same frame size within one run; the packet thread also reports
// `x_library_loop`, its median time per frame over the library loop's of the
// same frame size measured just before it (target: 1.25 or less).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "service/driverclient/packet_driver_api.h"
#include "service/engine/driver_binding.h"
#include "service/packet_thread_end.h"
#include "service/zephlink_service.h"
#include "shared/support/poll_event_loop.h"
#include "tests/service/engine/frame_builder.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/vorlanex_device_client.h"
#include "tests/support/vorlanex_host.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/sync_event.h"

namespace {

using namespace zl::driverclient;
using zl::test::Bytes;
namespace machine = zl::platform::machine;

constexpr std::uint32_t kFrames = 16;  // per iteration

Bytes ClientFrame(std::size_t size) {
  zl::engine::test::FrameSpec spec = zl::engine::test::TcpFrame(zl::engine::test::kClient, 50000,
                                                                zl::engine::test::kRemote, 443);
  Bytes frame = zl::engine::test::BuildFrame(spec);
  frame.resize(size, 0x5A);
  return frame;
}

struct Bench {
  zl::test::EmulatedMachine machine;
  zl::test::HostProcess host;
  std::string guid;
  std::unique_ptr<zl::test::FrameSocket> clients;
  std::unique_ptr<zl::test::FrameSocket> stack;

  Bench() {
    if (!host.Ready()) throw std::runtime_error("vorlanex-host did not start");
    machine::SetHostedNetworkMode(true);
    machine::SetHostedNetworkSsid("Bench");
    machine::SetHostedNetworkKey("12345678", true);
    machine::StartHostedNetwork();
    guid = machine::ReadHostedNetwork().adapterGuid;
    for (int tries = 0; tries < 2000 && AdapterHandle() == 0; ++tries) ::usleep(5000);
    if (AdapterHandle() == 0) throw std::runtime_error("the host does not list the hosted adapter");
    clients = std::make_unique<zl::test::FrameSocket>(zl::test::FrameEndpoint(guid, "miniport"));
    stack = std::make_unique<zl::test::FrameSocket>(zl::test::FrameEndpoint(guid, "stack"));
    clients->Register();
    stack->Register();
  }
  std::uint64_t AdapterHandle() {
    zl::test::DeviceClient device;
    return device.AdapterHandle(guid);
  }
  std::uint32_t Mode() {
    zl::test::DeviceClient device;
    return device.Mode(device.AdapterHandle(guid));
  }
  // One iteration's frames in and out; false when one was lost.
  bool Cross(const Bytes& frame) {
    for (std::uint32_t i = 0; i < kFrames; ++i) clients->Send(frame);
    for (std::uint32_t i = 0; i < kFrames; ++i) {
      if (stack->ReceiveLength() != frame.size()) return false;
    }
    return true;
  }
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

// Runs the benchmark's iterations, each one crossing of kFrames frames; sets
// the items processed and `median_frame_ns`, and returns that median. A few
// iterations stalled for whole time slices on a shared machine stay out of it.
double CrossEveryIteration(benchmark::State& state, Bench& bench, const Bytes& frame) {
  std::vector<double> perFrame;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!bench.Cross(frame)) state.SkipWithError("frames lost");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    perFrame.push_back(double(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) / kFrames);
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  if (perFrame.empty()) return 0;
  auto middle = perFrame.begin() + std::ptrdiff_t(perFrame.size() / 2);
  std::nth_element(perFrame.begin(), middle, perFrame.end());
  state.counters["median_frame_ns"] = *middle;
  return *middle;
}

// The library loop's median per frame size, for the packet thread's ratio.
std::map<std::int64_t, double>& LibraryLoopNanoseconds() {
  static std::map<std::int64_t, double> medians;
  return medians;
}

void BM_PassThroughMode0(benchmark::State& state) {
  Bench& b = Shared();
  const Bytes frame = ClientFrame(std::size_t(state.range(0)));
  CrossEveryIteration(state, b, frame);
}
BENCHMARK(BM_PassThroughMode0)->Arg(64)->Arg(1514)->UseRealTime();

// The library's loop on its own thread, as a client of the library would run it.
void BM_LibraryReadAndReinjectLoop(benchmark::State& state) {
  Bench& b = Shared();
  const Bytes frame = ClientFrame(std::size_t(state.range(0)));
  LoadPacketDriverApi();
  HANDLE driver = PacketDriver.OpenFilterDriver("VORLANEX");
  const auto adapter = reinterpret_cast<HANDLE>(b.AdapterHandle());
  const zl::platform::EventHandle event = zl::platform::CreateManualResetEvent();
  PacketDriver.SetPacketEvent(driver, adapter, reinterpret_cast<HANDLE>(event));
  AdapterModeRequest mode{reinterpret_cast<std::uintptr_t>(adapter), MODE_DIVERT_OUTBOUND | MODE_DIVERT_INBOUND};
  PacketDriver.SetAdapterMode(driver, &mode);
  std::atomic<bool> stop{false};
  std::thread loop([&] {
    auto record = std::make_unique<PacketRecord>();
    PacketRequest request{reinterpret_cast<std::uintptr_t>(adapter), reinterpret_cast<std::uintptr_t>(record.get())};
    while (!stop) {
      zl::platform::WaitForEvent(event, -1);  // the stop signals it
      zl::platform::ClearEvent(event);
      while (PacketDriver.ReadPacket(driver, &request)) {
        if (record->Direction == DIRECTION_OUTBOUND) {
          PacketDriver.SendPacketToAdapter(driver, &request);
        } else {
          PacketDriver.SendPacketToMstcp(driver, &request);
        }
      }
    }
  });
  const double median = CrossEveryIteration(state, b, frame);
  LibraryLoopNanoseconds()[state.range(0)] = median;
  stop = true;
  zl::platform::SignalEvent(event);
  loop.join();
  mode.Flags = 0;
  PacketDriver.SetAdapterMode(driver, &mode);
  PacketDriver.SetPacketEvent(driver, adapter, nullptr);
  PacketDriver.CloseFilterDriver(driver);
  zl::platform::CloseEventHandle(event);
  UnloadPacketDriverApi();
}
BENCHMARK(BM_LibraryReadAndReinjectLoop)->Arg(64)->Arg(1514)->UseRealTime();

// The service object in a loop of its own whose virtual clock stands still:
// no report falls due and no session opens, so only the packet path runs.
void BM_ServicePacketThread(benchmark::State& state) {
  Bench& b = Shared();
  const Bytes frame = ClientFrame(std::size_t(state.range(0)));
  zl::VirtualClock clock;
  zl::PollEventLoop loop(clock);
  zl::service::ServiceOptions options;
  options.UrlLogFolder = b.machine.Directory() + "/UrlLog";
  auto service = std::make_unique<zl::service::TZephlinkService>(loop, options);
  for (int tries = 0; tries < 2000 && b.Mode() != 3; ++tries) ::usleep(5000);
  if (b.Mode() != 3) state.SkipWithError("the packet thread did not divert the adapter");
  const double median = CrossEveryIteration(state, b, frame);
  const auto library = LibraryLoopNanoseconds().find(state.range(0));
  if (library != LibraryLoopNanoseconds().end() && library->second > 0) {
    state.counters["x_library_loop"] = median / library->second;
  }
  service.reset();
  zl::service::AwaitPacketThreadEnd(loop, std::chrono::seconds(5));
  zl::engine::ReleaseDriver();
}
BENCHMARK(BM_ServicePacketThread)->Arg(64)->Arg(1514)->UseRealTime();

}  // namespace
