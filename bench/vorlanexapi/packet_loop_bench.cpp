// One machine and one vorlanex-host for the whole run. Each iteration puts
// kFrames frames into the LAN adapter's miniport endpoint and takes them out
// of its stack endpoint; in between, the diverting benchmarks read and
// re-inject each frame through the library.
//
// Every benchmark also reports its figures as ratios to yardsticks measured
// between its own iterations, so that both see the same load of the machine:
// `round_trips_per_frame` divides its time per frame by one bare AF_UNIX
// request/answer round trip between two processes (BareRoundTrip, the sizes of
// a one-frame request); the batches report `x_mode0`, their frames per second
// over mode 0's through the same host (medians of both sides). Targets: one frame per request within
// 3 round trips per frame, batches of 16 at 0.6 x_mode0 or more.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "bench/vorlanexapi/bare_round_trip.h"
#include "service/driverclient/packet_driver_api.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/vorlanex_host.h"
#include "zl/platform/sync_event.h"

namespace {

using namespace zl::driverclient;
using zl::test::Bytes;

constexpr const char* kLanGuid = "{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}";
constexpr std::uint32_t kFrames = 16;  // per iteration; also the batch size
// On the device socket a request is its 16-byte header and the input, an
// answer its 12-byte header and the output: here one frame's PacketRequest.
constexpr std::size_t kRequestBytes = 16 + sizeof(PacketRequest);
constexpr std::size_t kAnswerBytes = 12 + sizeof(PacketRequest);

struct Bench {
  // First, so that its process is forked before anything else runs.
  zl::vorlanexbench::BareRoundTrip bare{kRequestBytes, kAnswerBytes};
  zl::test::EmulatedMachine machine;
  zl::test::HostProcess host;
  HANDLE driver = nullptr;
  HANDLE adapter = nullptr;
  zl::platform::EventHandle event = zl::platform::kNoEvent;
  std::unique_ptr<zl::test::FrameSocket> miniport;
  std::unique_ptr<zl::test::FrameSocket> stack;
  Bytes frame = Bytes(590, 0x5A);

  Bench() {
    if (!bare.Started()) throw std::runtime_error("the round trip partner did not start");
    if (!host.Ready()) throw std::runtime_error("vorlanex-host did not start");
    LoadPacketDriverApi();
    driver = PacketDriver.OpenFilterDriver("VORLANEX");
    auto list = std::make_unique<AdapterList>();
    PacketDriver.GetTcpipBoundAdaptersInfo(driver, list.get());
    const std::string name = std::string("\\DEVICE\\") + kLanGuid;
    for (std::uint32_t i = 0; i < list->Count; ++i) {
      if (name == list->Name[i]) adapter = reinterpret_cast<HANDLE>(list->Handle[i]);
    }
    event = zl::platform::CreateManualResetEvent();
    PacketDriver.SetPacketEvent(driver, adapter, reinterpret_cast<HANDLE>(event));
    miniport = std::make_unique<zl::test::FrameSocket>(zl::test::FrameEndpoint(kLanGuid, "miniport"));
    miniport->Register();
    stack = std::make_unique<zl::test::FrameSocket>(zl::test::FrameEndpoint(kLanGuid, "stack"));
    stack->Register();
  }

  ~Bench() {
    if (PacketDriverApiLoaded()) {
      PacketDriver.SetPacketEvent(driver, adapter, nullptr);
      PacketDriver.CloseFilterDriver(driver);
      UnloadPacketDriverApi();
    }
    if (event != zl::platform::kNoEvent) zl::platform::CloseEventHandle(event);
  }
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  void SetMode(std::uint32_t flags) {
    AdapterModeRequest request{reinterpret_cast<std::uintptr_t>(adapter), flags};
    PacketDriver.SetAdapterMode(driver, &request);
  }

  void Inject() {
    for (std::uint32_t i = 0; i < kFrames; ++i) miniport->Send(frame);
  }
  bool Drain() {
    for (std::uint32_t i = 0; i < kFrames; ++i) {
      if (stack->ReceiveLength() != frame.size()) return false;
    }
    return true;
  }
  void WaitForFrames() {
    zl::platform::WaitForEvent(event, 10000);
    zl::platform::ClearEvent(event);
  }
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

using Clock = std::chrono::steady_clock;

double Nanoseconds(Clock::duration elapsed) {
  return double(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
}

// Times the loop's iterations and, after each, the yardsticks, so that both
// see the same load of the machine; the benchmark's own time is the loop's.
// Ratios are of medians: on a shared machine a few iterations are stalled
// for whole time slices, and the median of each side leaves those out.
class Ratios {
 public:
  Ratios(benchmark::State& state, Bench& bench) : state_(state), bench_(bench) {}

  void Start() { start_ = Clock::now(); }
  void Stop() {
    const double elapsed = Nanoseconds(Clock::now() - start_);
    loop_.push_back(elapsed / kFrames);
    state_.SetIterationTime(elapsed / 1e9);
  }
  // Two bare round trips per frame of an iteration, as many as a loop of
  // two requests a frame makes.
  void MeasureBareRoundTrips() {
    constexpr std::uint32_t kRounds = 2 * kFrames;
    const auto start = Clock::now();
    for (std::uint32_t i = 0; i < kRounds; ++i) {
      if (!bench_.bare.Once()) state_.SkipWithError("the round trip partner is gone");
    }
    bare_.push_back(Nanoseconds(Clock::now() - start) / kRounds);
  }
  // kFrames frames in mode 0; leaves the adapter in `mode` again.
  void MeasureMode0(std::uint32_t mode) {
    bench_.SetMode(0);
    const auto start = Clock::now();
    bench_.Inject();
    if (!bench_.Drain()) state_.SkipWithError("frames lost");
    mode0_.push_back(Nanoseconds(Clock::now() - start) / kFrames);
    bench_.SetMode(mode);
  }

  void Report() {
    state_.SetItemsProcessed(state_.iterations() * kFrames);
    if (loop_.empty()) return;
    const double perFrame = Median(loop_);
    state_.counters["median_frame_ns"] = perFrame;
    if (!bare_.empty()) {
      const double bare = Median(bare_);
      state_.counters["bare_round_trip_ns"] = bare;
      state_.counters["round_trips_per_frame"] = perFrame / bare;
    }
    if (!mode0_.empty()) state_.counters["x_mode0"] = Median(mode0_) / perFrame;
  }

 private:
  static double Median(std::vector<double>& samples) {
    auto middle = samples.begin() + std::ptrdiff_t(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
  }

  benchmark::State& state_;
  Bench& bench_;
  Clock::time_point start_;
  std::vector<double> loop_, bare_, mode0_;
};

constexpr std::uint32_t kDivert = MODE_DIVERT_OUTBOUND | MODE_DIVERT_INBOUND;

void BM_BareRoundTrip(benchmark::State& state) {
  Bench& b = Shared();
  for (auto _ : state) {
    if (!b.bare.Once()) state.SkipWithError("the round trip partner is gone");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareRoundTrip)->UseRealTime();

void BM_PassThroughMode0(benchmark::State& state) {
  Bench& b = Shared();
  Ratios ratios(state, b);
  b.SetMode(0);
  for (auto _ : state) {
    ratios.Start();
    b.Inject();
    if (!b.Drain()) state.SkipWithError("frames lost");
    ratios.Stop();
    ratios.MeasureBareRoundTrips();
  }
  ratios.Report();
}
BENCHMARK(BM_PassThroughMode0)->UseManualTime();

void BM_ReadPacketAndSendOneByOne(benchmark::State& state) {
  Bench& b = Shared();
  Ratios ratios(state, b);
  b.SetMode(kDivert);
  auto record = std::make_unique<PacketRecord>();
  PacketRequest request{reinterpret_cast<std::uintptr_t>(b.adapter), reinterpret_cast<std::uintptr_t>(record.get())};
  for (auto _ : state) {
    ratios.Start();
    b.Inject();
    for (std::uint32_t done = 0; done < kFrames;) {
      if (PacketDriver.ReadPacket(b.driver, &request)) {
        PacketDriver.SendPacketToMstcp(b.driver, &request);
        ++done;
      } else {
        b.WaitForFrames();
      }
    }
    if (!b.Drain()) state.SkipWithError("frames lost");
    ratios.Stop();
    ratios.MeasureBareRoundTrips();
  }
  b.SetMode(0);
  ratios.Report();
}
BENCHMARK(BM_ReadPacketAndSendOneByOne)->UseManualTime();

void BM_ReadPacketsAndSendInBatchesOf16(benchmark::State& state) {
  Bench& b = Shared();
  Ratios ratios(state, b);
  b.SetMode(kDivert);
  std::vector<PacketRecord> records(kFrames);
  std::vector<std::uint8_t> buffer(sizeof(MultiPacketRequest) + kFrames * sizeof(std::uintptr_t));
  auto* request = reinterpret_cast<MultiPacketRequest*>(buffer.data());
  auto* addresses = reinterpret_cast<std::uintptr_t*>(buffer.data() + sizeof(MultiPacketRequest));
  for (std::uint32_t i = 0; i < kFrames; ++i) addresses[i] = reinterpret_cast<std::uintptr_t>(&records[i]);
  for (auto _ : state) {
    ratios.Start();
    b.Inject();
    for (std::uint32_t done = 0; done < kFrames;) {
      request->AdapterHandle = reinterpret_cast<std::uintptr_t>(b.adapter);
      request->Count = kFrames;
      request->Done = 0;
      if (PacketDriver.ReadPackets(b.driver, request)) {
        request->Count = request->Done;
        done += request->Done;
        PacketDriver.SendPacketsToMstcp(b.driver, request);
      } else {
        b.WaitForFrames();
      }
    }
    if (!b.Drain()) state.SkipWithError("frames lost");
    ratios.Stop();
    ratios.MeasureBareRoundTrips();
    ratios.MeasureMode0(kDivert);
  }
  b.SetMode(0);
  ratios.Report();
}
BENCHMARK(BM_ReadPacketsAndSendInBatchesOf16)->UseManualTime();

}  // namespace
