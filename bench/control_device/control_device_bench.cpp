// Cost of a control request carried over the machine's device socket (client
// library side: device_io.h; host side: ControlDeviceService) against the same
// request dispatched in process by the kernel host, measured in the same run:
// the version request (transport only) and a queued frame read into the
// caller's record (transport plus process_vm_writev; both sides include
// queueing the frame). Each result carries the in-process cost and the ratio.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/control/vorlanex_interface.h"
#include "driver/entry/driver_state.h"
#include "shared/support/clock.h"
#include "zl/ndishost/control_device_service.h"
#include "zl/ndishost/kernel_host.h"
#include "zl/platform/device_io.h"
#include "zl/platform/device_server.h"

namespace {

namespace vx = zl::vorlanex;
using zl::ndishost::KernelHost;

// A machine directory of its own, a host with the driver and one adapter, and
// one open handle through the socket.
struct Bench {
  Bench() {
    char pattern[] = "/tmp/zl-bench-machine-XXXXXX";
    folder = ::mkdtemp(pattern);
    ::setenv("ZEPHLINK_MACHINE", folder.c_str(), 1);
    adapter = &host.AddAdapter(zl::ndishost::AdapterConfig{});
    host.LoadDriver(DriverEntry);
    service.Start(zl::platform::DeviceSocketPath("VORLANEX"));
    device = zl::platform::OpenDevice("\\\\.\\VORLANEX");
    auto list = std::make_unique<vx::AdapterList>();
    std::uint32_t bytes = 0;
    zl::platform::DeviceIoControl(device, vx::IOCTL_VORLANEX_GET_ADAPTER_LIST, nullptr, 0, list.get(), sizeof *list,
                                  bytes);
    adapterHandle = list->Handle[0];
    vx::AdapterModeRequest mode{adapterHandle, vx::MODE_DIVERT_INBOUND};
    zl::platform::DeviceIoControl(device, vx::IOCTL_VORLANEX_SET_ADAPTER_MODE, &mode, sizeof mode, nullptr, 0, bytes);
    frame.frames.emplace_back();
    frame.frames.back().bytes.assign(1514, 0x5A);
  }
  ~Bench() {
    zl::platform::CloseDevice(device);
    service.Stop();
    host.UnloadDriver();
    ::rmdir((folder + "/Devices").c_str());
    ::rmdir(folder.c_str());
  }

  std::string folder;
  zl::VirtualClock clock;
  KernelHost host{clock};
  zl::ndishost::ControlDeviceService service{host};
  zl::ndishost::EmulatedAdapter* adapter = nullptr;
  zl::platform::DeviceHandle device = zl::platform::kInvalidDevice;
  std::uint64_t adapterHandle = 0;
  zl::ndishost::ListShape frame;
};

Bench& TheBench() {
  static Bench bench;
  return bench;
}

template <typename Operation>
double NanosecondsEach(long rounds, Operation operation) {
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < rounds; ++i) operation();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return double(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) / double(rounds);
}

void Report(benchmark::State& state, double inProcessNs, std::chrono::steady_clock::duration socketTotal) {
  const double socketNs =
      double(std::chrono::duration_cast<std::chrono::nanoseconds>(socketTotal).count()) / double(state.iterations());
  state.counters["in_process_ns"] = inProcessNs;
  state.counters["ratio_to_in_process"] = inProcessNs > 0 ? socketNs / inProcessNs : 0;
}

void BM_VersionRequest(benchmark::State& state) {
  Bench& bench = TheBench();
  const double inProcess = NanosecondsEach(20000, [&] {
    auto result = bench.host.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, vx::IOCTL_VORLANEX_GET_VERSION, {}, 4);
    benchmark::DoNotOptimize(result.status);
  });
  std::uint32_t version = 0, bytes = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    zl::platform::DeviceIoControl(bench.device, vx::IOCTL_VORLANEX_GET_VERSION, nullptr, 0, &version, 4, bytes);
    benchmark::DoNotOptimize(version);
  }
  Report(state, inProcess, std::chrono::steady_clock::now() - start);
}
BENCHMARK(BM_VersionRequest);

void BM_ReadQueuedFrame(benchmark::State& state) {
  Bench& bench = TheBench();
  auto record = std::make_unique<vx::PacketRecord>();
  vx::PacketRequest request{bench.adapterHandle, reinterpret_cast<std::uintptr_t>(record.get())};
  std::vector<std::uint8_t> input(sizeof request);
  std::memcpy(input.data(), &request, sizeof request);
  const double inProcess = NanosecondsEach(20000, [&] {
    bench.adapter->ReceiveFromMiniport({bench.frame});
    auto result = bench.host.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, vx::IOCTL_VORLANEX_READ_PACKET, input,
                                               sizeof request);
    benchmark::DoNotOptimize(result.status);
  });
  std::uint32_t bytes = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    bench.adapter->ReceiveFromMiniport({bench.frame});
    zl::platform::DeviceIoControl(bench.device, vx::IOCTL_VORLANEX_READ_PACKET, &request, sizeof request, &request,
                                  sizeof request, bytes);
    benchmark::DoNotOptimize(record->Length);
  }
  Report(state, inProcess, std::chrono::steady_clock::now() - start);
}
BENCHMARK(BM_ReadQueuedFrame);

}  // namespace
