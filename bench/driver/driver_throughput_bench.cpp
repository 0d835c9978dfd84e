// Frames per second through the driver on the kernel host: mode 0 (copy into a
// record and re-inject) and mode 3 (queue, dequeue as the client does, re-inject),
// for 64-byte and 1514-byte frames, in both directions. Each result carries the
// cost of one memcpy of the frame and of the host carrying the frame without the
// driver, both measured in the same run, and the ratio to each.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "driver/datapath/packet_queue.h"
#include "driver/datapath/record_pool.h"
#include "driver/datapath/reinject.h"
#include "driver/entry/driver_state.h"
#include "driver/modules/filter_module.h"
#include "shared/support/clock.h"
#include "zl/ndishost/kernel_host.h"

namespace {

using zl::ndishost::EmulatedAdapter;
using zl::ndishost::ListShape;

enum class Direction { Outbound, Inbound };

std::vector<ListShape> OneFrame(std::size_t size) {
  ListShape list;
  std::vector<std::uint8_t> frame(size);
  for (std::size_t i = 0; i < size; ++i) frame[i] = std::uint8_t(i);
  frame[0] = 0x02;  // an individual destination
  frame[12] = 0x08;
  list.frames.push_back({frame});
  return {list};
}

double NanosecondsPer(long iterations, std::chrono::steady_clock::duration elapsed) {
  return iterations == 0 ? 0 : double(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) / iterations;
}

double MemcpyNanoseconds(std::size_t size) {
  std::vector<std::uint8_t> source(size, 0x5A), target(size);
  constexpr long kRounds = 200000;
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < kRounds; ++i) {
    std::memcpy(target.data(), source.data(), size);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  return NanosecondsPer(kRounds, std::chrono::steady_clock::now() - start);
}

// One host with the driver loaded, and one adapter without any filter above it
// for the host-only baseline.
struct Bench {
  Bench() {
    host.LoadDriver(DriverEntry);
    filtered = &host.AddAdapter(zl::ndishost::AdapterConfig{});
    filtered->SetRecording(false);
    // Added after the driver is loaded, and never bound.
    zl::ndishost::AdapterConfig plain;
    plain.deviceName = "\\DEVICE\\{PLAIN}";
    bare = &host.AddAdapter(plain, false);
    bare->SetRecording(false);
  }
  ~Bench() { host.UnloadDriver(); }
  zl::driver::FilterModule* Module() { return static_cast<zl::driver::FilterModule*>(filtered->ModuleContext()); }

  zl::VirtualClock clock;
  zl::ndishost::KernelHost host{clock};
  EmulatedAdapter* filtered = nullptr;
  EmulatedAdapter* bare = nullptr;
};

Bench& TheBench() {
  static Bench bench;
  return bench;
}

void Deliver(EmulatedAdapter& adapter, Direction direction, const std::vector<ListShape>& frame) {
  if (direction == Direction::Outbound) {
    adapter.SendFromStack(frame);
  } else {
    adapter.ReceiveFromMiniport(frame);
  }
}

double HostOnlyNanoseconds(Direction direction, const std::vector<ListShape>& frame) {
  constexpr long kRounds = 20000;
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < kRounds; ++i) Deliver(*TheBench().bare, direction, frame);
  return NanosecondsPer(kRounds, std::chrono::steady_clock::now() - start);
}

void ThroughDriver(benchmark::State& state, ULONG mode, Direction direction) {
  Bench& bench = TheBench();
  const std::size_t size = std::size_t(state.range(0));
  const auto frame = OneFrame(size);
  zl::driver::FilterModule* module = bench.Module();
  zl::driver::SetModeFlags(&module->Queue, mode);

  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    Deliver(*bench.filtered, direction, frame);
    if (mode != 0) {
      // The client's part: take the record and hand the frame back in its direction.
      zl::driver::PacketRecord* record = zl::driver::DequeueRecord(&module->Queue);
      if (record == nullptr) {
        state.SkipWithError("frame was not queued");
        break;
      }
      if (direction == Direction::Outbound) {
        zl::driver::SendRecord(module, record);
      } else {
        zl::driver::IndicateRecord(module, record);
      }
      zl::driver::ReturnRecord(record);
    }
  }
  const double perFrame = NanosecondsPer(long(state.iterations()), std::chrono::steady_clock::now() - start);
  zl::driver::SetModeFlags(&module->Queue, 0);

  const double memcpyNs = MemcpyNanoseconds(size);
  const double hostNs = HostOnlyNanoseconds(direction, frame);
  state.SetItemsProcessed(std::int64_t(state.iterations()));
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(size));
  state.counters["ns_per_frame"] = perFrame;
  state.counters["memcpy_ns"] = memcpyNs;
  state.counters["x_memcpy"] = memcpyNs > 0 ? perFrame / memcpyNs : 0;
  state.counters["host_only_ns"] = hostNs;
  state.counters["x_host_only"] = hostNs > 0 ? perFrame / hostNs : 0;
}

void BM_Memcpy(benchmark::State& state) {
  const std::size_t size = std::size_t(state.range(0));
  std::vector<std::uint8_t> source(size, 0x5A), target(size);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), size);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(std::int64_t(state.iterations()));
}

void BM_Mode0Outbound(benchmark::State& state) { ThroughDriver(state, 0x00, Direction::Outbound); }
void BM_Mode0Inbound(benchmark::State& state) { ThroughDriver(state, 0x00, Direction::Inbound); }
void BM_Mode3Outbound(benchmark::State& state) { ThroughDriver(state, 0x03, Direction::Outbound); }
void BM_Mode3Inbound(benchmark::State& state) { ThroughDriver(state, 0x03, Direction::Inbound); }

BENCHMARK(BM_Memcpy)->Arg(64)->Arg(1514);
BENCHMARK(BM_Mode0Outbound)->Arg(64)->Arg(1514);
BENCHMARK(BM_Mode0Inbound)->Arg(64)->Arg(1514);
BENCHMARK(BM_Mode3Outbound)->Arg(64)->Arg(1514);
BENCHMARK(BM_Mode3Inbound)->Arg(64)->Arg(1514);

}  // namespace
