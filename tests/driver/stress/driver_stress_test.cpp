// Several adapters with sends and receives delivered from host threads at once,
// while a client drains and re-injects, and a controller changes modes,
// installs tables, flushes and pauses/restarts adapters. The run is bounded by
// iterations; its checks are the driver's invariants, which hold whatever the
// interleaving.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "driver/datapath/reinject.h"
#include "tests/driver/support/driver_fixture.h"

namespace zl::drivertest {
namespace {

using zl::ndishost::EmulatedAdapter;
using zl::ndishost::ListShape;

constexpr int kAdapters = 3;
constexpr int kIterations = 150;
constexpr int kControlSteps = 60;

class DriverStressTest : public DriverTest {};

std::vector<ListShape> TrafficChain(int iteration, bool inbound) {
  std::vector<ListShape> chain;
  const int lists = 1 + iteration % 3;
  for (int l = 0; l < lists; ++l) {
    ListShape list;
    const int frames = 1 + (iteration + l) % 2;
    for (int f = 0; f < frames; ++f) {
      const Mac& destination = inbound ? ((iteration + f) % 4 == 0 ? kBroadcast : kAdapterMac) : kClientMac;
      const std::uint8_t protocol = (iteration + l + f) % 3 == 0 ? 17 : 6;
      Bytes frame = Ipv4Frame({192, 168, 137, 20}, {10, 0, 0, std::uint8_t(iteration)}, protocol, 1024,
                              std::uint16_t(80 + f), std::size_t(60 + (iteration * 37 + f * 401) % 1455));
      std::copy(destination.begin(), destination.end(), frame.begin());
      list.frames.push_back({std::move(frame)});
      if ((iteration + f) % 5 == 0) list.frames.back().descriptorSizes = {14, 20, 2000};
    }
    list.loopback = inbound && (iteration + l) % 7 == 0;
    chain.push_back(std::move(list));
  }
  return chain;
}

TEST_F(DriverStressTest, ConcurrentTrafficControlAndClientKeepEveryRecordAndListAccountedFor) {
  LoadDriver();
  std::vector<EmulatedAdapter*> adapters;
  std::vector<ULONG64> handles;
  for (int i = 0; i < kAdapters; ++i) {
    adapters.push_back(&AddAdapter("{STRESS-" + std::to_string(i) + "}"));
    handles.push_back(ULONG64(reinterpret_cast<ULONG_PTR>(adapters.back()->ModuleContext())));
  }
  PKEVENT packetEvent = host_.CreateEvent();
  ObReferenceObject(packetEvent);
  zl::driver::ReplacePacketEvent(&ModuleOf(*adapters[0])->Queue, packetEvent);

  // The traffic threads and the controller; the client runs until all have ended.
  std::atomic<int> trafficThreadsLeft{2 * kAdapters + 1};
  std::atomic<long> reinjected{0};
  std::vector<std::thread> threads;
  for (int a = 0; a < kAdapters; ++a) {
    threads.emplace_back([&, a] {
      for (int i = 0; i < kIterations; ++i) {
        adapters[a]->SendFromStack(TrafficChain(i, false), i % 2 ? NDIS_SEND_FLAGS_DISPATCH_LEVEL : 0);
      }
      --trafficThreadsLeft;
    });
    threads.emplace_back([&, a] {
      for (int i = 0; i < kIterations; ++i) {
        const ULONG flags = i % 3 == 0 ? NDIS_RECEIVE_FLAGS_RESOURCES : 0;
        adapters[a]->ReceiveFromMiniport(TrafficChain(i, true), flags);
      }
      --trafficThreadsLeft;
    });
  }
  // The client: reads queued records and hands them back in their direction.
  threads.emplace_back([&] {
    while (trafficThreadsLeft.load() > 0) {
      for (ULONG64 handle : handles) {
        zl::driver::FilterModule* module = zl::driver::LookupAdapter(handle);
        if (module == nullptr) continue;
        for (int n = 0; n < 20; ++n) {
          zl::driver::PacketRecord* record = zl::driver::DequeueRecord(&module->Queue);
          if (record == nullptr) break;
          const bool sent = record->Direction == zl::driver::DIRECTION_OUTBOUND
                                ? zl::driver::SendRecord(module, record)
                                : zl::driver::IndicateRecord(module, record);
          if (sent) ++reinjected;
          zl::driver::ReturnRecord(record);
        }
        zl::driver::ReleaseAdapter(module);
      }
      std::this_thread::yield();
    }
  });
  // The controller: modes, tables, flushes, pause and restart.
  threads.emplace_back([&] {
    const ULONG modes[] = {0x03, 0x00, 0x0C, 0x01, 0x02, 0x13, 0x22, 0x62, 0x04, 0x08};
    zl::driver::FilterRule dropUdp = MakeRule(3, zl::driver::FILTER_ACTION_DROP);
    dropUdp.Layers = zl::driver::FILTER_LAYER_NETWORK;
    dropUdp.NetworkKind = zl::driver::FILTER_NETWORK_IPV4;
    dropUdp.Ipv4Fields = zl::driver::FILTER_IPV4_PROTOCOL;
    dropUdp.Protocol = 17;
    const Bytes table = TableOf({dropUdp, MakeRule(1, zl::driver::FILTER_ACTION_PASS)});
    for (int step = 0; step < kControlSteps; ++step) {
      EmulatedAdapter& target = *adapters[step % kAdapters];
      SetMode(target, modes[step % 10]);
      if (step % 4 == 0) zl::driver::InstallFilterTable(table.data(), ULONG(table.size()));
      if (step % 4 == 2) zl::driver::RemoveFilterTable();
      if (step % 5 == 0) zl::driver::FlushPacketQueue(&ModuleOf(target)->Queue);
      if (step % 6 == 3) {
        host_.Pause(target);
        host_.Restart(target);
      }
      Bytes list(sizeof(zl::driver::AdapterList));
      zl::driver::FillAdapterList(list.data());
      std::this_thread::yield();
    }
    --trafficThreadsLeft;
  });
  for (std::thread& thread : threads) thread.join();

  ExpectRecordsConserved();
  for (EmulatedAdapter* adapter : adapters) {
    EXPECT_EQ(adapter->StackListsOutstanding(), 0);
    EXPECT_EQ(adapter->MiniportListsOutstanding(), 0);
    EXPECT_EQ(LONG(ModuleOf(*adapter)->OutstandingSends), 0);
    EXPECT_EQ(LONG(ModuleOf(*adapter)->OutstandingIndications), 0);
    EXPECT_EQ(LONG(ModuleOf(*adapter)->References), 0);
  }
  // Everything still queued is accounted for; a flush empties it.
  zl::driver::ResetAllAdapters();
  EXPECT_EQ(zl::driver::FreeRecordCount(), zl::driver::RECORD_POOL_SIZE);
  EXPECT_EQ(host_.EventReferences(packetEvent), 1);
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{});
  RecordProperty("reinjected", int(reinjected.load()));
}

}  // namespace
}  // namespace zl::drivertest
