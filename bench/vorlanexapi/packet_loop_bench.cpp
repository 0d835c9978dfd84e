// One machine and one vorlanex-host for the whole run. Each iteration puts
// kFrames frames into the LAN adapter's miniport endpoint and takes them out
// of its stack endpoint; in between, the diverting benchmarks read and
// re-inject each frame through the library. Compare items_per_second against
// BM_PassThroughMode0 of the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "service/driverclient/packet_driver_api.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/vorlanex_host.h"
#include "zl/platform/sync_event.h"

namespace {

using namespace zl::driverclient;
using zl::test::Bytes;

constexpr const char* kLanGuid = "{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}";
constexpr std::uint32_t kFrames = 16;  // per iteration; also the batch size

struct Bench {
  zl::test::EmulatedMachine machine;
  zl::test::HostProcess host;
  HANDLE driver = nullptr;
  HANDLE adapter = nullptr;
  zl::platform::EventHandle event = zl::platform::kNoEvent;
  std::unique_ptr<zl::test::FrameSocket> miniport;
  std::unique_ptr<zl::test::FrameSocket> stack;
  Bytes frame = Bytes(590, 0x5A);

  Bench() {
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
      if (stack->Receive().size() != frame.size()) return false;
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

void BM_PassThroughMode0(benchmark::State& state) {
  Bench& b = Shared();
  b.SetMode(0);
  for (auto _ : state) {
    b.Inject();
    if (!b.Drain()) state.SkipWithError("frames lost");
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_PassThroughMode0)->UseRealTime();

void BM_ReadPacketAndSendOneByOne(benchmark::State& state) {
  Bench& b = Shared();
  b.SetMode(MODE_DIVERT_OUTBOUND | MODE_DIVERT_INBOUND);
  auto record = std::make_unique<PacketRecord>();
  PacketRequest request{reinterpret_cast<std::uintptr_t>(b.adapter), reinterpret_cast<std::uintptr_t>(record.get())};
  for (auto _ : state) {
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
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  b.SetMode(0);
}
BENCHMARK(BM_ReadPacketAndSendOneByOne)->UseRealTime();

void BM_ReadPacketsAndSendInBatchesOf16(benchmark::State& state) {
  Bench& b = Shared();
  b.SetMode(MODE_DIVERT_OUTBOUND | MODE_DIVERT_INBOUND);
  std::vector<PacketRecord> records(kFrames);
  std::vector<std::uint8_t> buffer(sizeof(MultiPacketRequest) + kFrames * sizeof(std::uintptr_t));
  auto* request = reinterpret_cast<MultiPacketRequest*>(buffer.data());
  auto* addresses = reinterpret_cast<std::uintptr_t*>(buffer.data() + sizeof(MultiPacketRequest));
  for (std::uint32_t i = 0; i < kFrames; ++i) addresses[i] = reinterpret_cast<std::uintptr_t>(&records[i]);
  for (auto _ : state) {
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
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  b.SetMode(0);
}
BENCHMARK(BM_ReadPacketsAndSendInBatchesOf16)->UseRealTime();

}  // namespace
