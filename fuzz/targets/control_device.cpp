// The driver's control device fed arbitrary requests, dispatched in process
// on the kernel host as the I/O manager would: every control code (and codes
// that are none), arbitrary input and output lengths, arbitrary addresses and
// handles inside the records, with frames arriving from both sides between
// requests. Each input is a client: it opens the device, makes its requests
// (opening and closing further handles on the way) and closes every handle.
//
// After each input the driver's invariants hold: all 500 records are in the
// pool or a queue, and with the last handle closed all are back in the pool,
// every adapter is in mode 0 and no filter table is installed; the host saw no
// protocol violation and no request is left pending; the pool holds exactly
// what it held before the input (a request that leaks shows at once); every
// event is back to the one reference its handle holds (plus one while it is
// the driver-wide WAN or adapter-list event, which stay set when the last
// handle closes). The driver stays loaded between inputs, so an input costs
// only its requests; every kReloadInterval inputs, and at exit, it is
// unloaded and every pool tag must be back at zero.
//
// Memory of the client: an arena at kArenaBase that the requests' addresses
// point into; every other address faults, as an unmapped one would. Handles
// 0x40, 0x44, 0x48 and 0x4C name four events of the client.
//
// Input: a sequence of operations, each led by one byte (see RunOperation).
// An 8-byte word kAdapterPlaceholder + i in a request stands for the handle of
// adapter i, whose real value changes from run to run.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "driver/control/vorlanex_interface.h"
#include "driver/datapath/packet_queue.h"
#include "driver/datapath/record_pool.h"
#include "driver/entry/driver_state.h"
#include "driver/filtertable/filter_table.h"
#include "driver/modules/filter_module.h"
#include "driver/modules/module_list.h"
#include "fuzz/fuzz_support.h"
#include "shared/support/clock.h"
#include "zl/ndishost/kernel_host.h"
#include "zl/ndishost/requester.h"

namespace {

namespace vx = zl::vorlanex;
using zl::ndishost::KernelHost;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kArenaBase = 0x7F0000000000;
constexpr std::size_t kArenaSize = 64 * 1024;
constexpr std::uint64_t kAdapterPlaceholder = 0xADA0ADA0ADA00000;
constexpr long kReloadInterval = 4096;
constexpr std::size_t kMaxOperations = 24;

constexpr std::array<std::uint32_t, 23> kCodes = {
    vx::IOCTL_VORLANEX_GET_VERSION,          vx::IOCTL_VORLANEX_GET_ADAPTER_LIST,
    vx::IOCTL_VORLANEX_SEND_TO_ADAPTER,      vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS,
    vx::IOCTL_VORLANEX_READ_PACKET,          vx::IOCTL_VORLANEX_SET_ADAPTER_MODE,
    vx::IOCTL_VORLANEX_FLUSH_ADAPTER_QUEUE,  vx::IOCTL_VORLANEX_SET_PACKET_EVENT,
    vx::IOCTL_VORLANEX_OID_SET,              vx::IOCTL_VORLANEX_OID_QUERY,
    vx::IOCTL_VORLANEX_SET_WAN_EVENT,        vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT,
    vx::IOCTL_VORLANEX_GET_QUEUE_SIZE,       vx::IOCTL_VORLANEX_GET_ADAPTER_MODE,
    vx::IOCTL_VORLANEX_SET_FILTER_TABLE,     vx::IOCTL_VORLANEX_RESET_FILTER_TABLE,
    vx::IOCTL_VORLANEX_GET_FILTER_TABLE_SIZE, vx::IOCTL_VORLANEX_GET_FILTER_TABLE,
    vx::IOCTL_VORLANEX_GET_FILTER_TABLE_RESET_STATS, vx::IOCTL_VORLANEX_GET_RAS_LINKS,
    vx::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS,
    vx::IOCTL_VORLANEX_READ_PACKETS,
};

// Output lengths that fit the large records exactly, or miss them by one.
constexpr std::array<std::uint32_t, 8> kLargeOutputs = {
    sizeof(vx::AdapterList),     sizeof(vx::AdapterList) - 1, sizeof(vx::RasLinkList),
    sizeof(vx::RasLinkList) - 1, 4 + 64 * sizeof(vx::FilterRule), 4 + 64 * sizeof(vx::FilterRule) - 1,
    0xFFFF,                      0x10000,
};

// The client's memory as far as the driver may reach it.
class ArenaClient final : public zl::ndishost::Requester {
 public:
  std::array<std::uint8_t, kArenaSize> arena{};
  zl::ndishost::CallerProcess handles;  // only its handle table is used

  bool ReadMemory(std::uint64_t address, void* destination, std::size_t length) override {
    if (!Inside(address, length)) return false;
    std::memcpy(destination, arena.data() + (address - kArenaBase), length);
    return true;
  }
  bool WriteMemory(std::uint64_t address, const void* source, std::size_t length) override {
    if (!Inside(address, length)) return false;
    std::memcpy(arena.data() + (address - kArenaBase), source, length);
    return true;
  }
  PKEVENT EventOfHandle(std::uint64_t handle) override { return handles.EventOfHandle(handle); }

 private:
  static bool Inside(std::uint64_t address, std::size_t length) {
    return address >= kArenaBase && length <= kArenaSize && address - kArenaBase <= kArenaSize - length;
  }
};

struct Bench {
  zl::VirtualClock clock;
  KernelHost host{clock};
  ArenaClient client;
  std::vector<zl::ndishost::EmulatedAdapter*> adapters;
  std::vector<PKEVENT> events;
  long baselinePool = 0;
  long inputs = 0;
  int extraHandles = 0;  // handles the input opened besides its own

  Bench() {
    for (int i = 0; i < 4; ++i) {
      events.push_back(host.CreateEvent());
      client.handles.OpenHandle(events.back());  // 0x40, 0x44, 0x48, 0x4C
    }
    Load();
    zl::ndishost::AdapterConfig lan;
    lan.deviceName = "\\DEVICE\\{00000000-0000-0000-0000-0000000000A1}";
    lan.macAddress = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    zl::ndishost::AdapterConfig wan;
    wan.deviceName = "\\DEVICE\\{00000000-0000-0000-0000-0000000000A2}";
    wan.medium = NdisMediumWan;
    wan.macAddress = {0x02, 0x66, 0x77, 0x88, 0x99, 0xAA};
    for (const auto& config : {lan, wan}) {
      adapters.push_back(&host.AddAdapter(config));
      adapters.back()->SetRecording(false);
    }
    Drain();
    baselinePool = host.Pools().OutstandingTotal();
  }

  void Load() { ZL_FUZZ_CHECK(host.LoadDriver(DriverEntry) == STATUS_SUCCESS); }

  // Unloads, checks that nothing leaked, and loads again with the adapters bound.
  void Reload(bool again) {
    host.UnloadDriver();
    ZL_FUZZ_CHECK(host.Pools().Leaks().empty());
    ZL_FUZZ_CHECK(host.Violations().empty());
    if (!again) return;
    Load();
    Drain();
    baselinePool = host.Pools().OutstandingTotal();
  }

  // What the emulated sides keep for a test to look at; nobody looks here.
  void Drain() {
    for (auto* adapter : adapters) {
      adapter->TakeMiniportFrames();
      adapter->TakeStackFrames();
      adapter->TakeSendCompletions();
      adapter->TakeOidRequests();
      adapter->TakeOidCancelIds();
      adapter->TakeStackOidCompletions();
      adapter->TakeStatusIndications();
      adapter->TakeDevicePnPEvents();
      adapter->TakeNetPnPEvents();
      adapter->TakeCancelIds();
    }
  }

  std::uint64_t HandleOf(std::size_t index) const {
    return reinterpret_cast<std::uintptr_t>(adapters[index]->ModuleContext());
  }

  void SubstituteHandles(Bytes& request) const {
    for (std::size_t offset = 0; offset + 8 <= request.size(); offset += 4) {
      std::uint64_t word;
      std::memcpy(&word, request.data() + offset, 8);
      if ((word & ~std::uint64_t{0xF}) != kAdapterPlaceholder) continue;
      const std::size_t index = word & 0xF;
      const std::uint64_t handle = index < adapters.size() ? HandleOf(index) : 0;
      std::memcpy(request.data() + offset, &handle, 8);
    }
  }

  KernelHost::DeviceRequestResult Send(UCHAR major, ULONG code, const Bytes& input, ULONG outputLength) {
    return host.SendDeviceRequest(major, code, input, outputLength, true, &client);
  }

  ULONG QueuedEverywhere() {
    ULONG queued = 0;
    zl::driver::AcquireModuleList();
    for (PLIST_ENTRY entry = zl::driver::FirstModuleEntry(); entry != zl::driver::ModuleListEnd();
         entry = entry->Flink) {
      queued += zl::driver::QueuedRecordCount(&zl::driver::ModuleFromLink(entry)->Queue);
    }
    zl::driver::ReleaseModuleList();
    return queued;
  }

  // With every handle closed: every adapter back to mode 0 with its queue
  // flushed to the pool, no filter table.
  void CheckInvariants() {
    ZL_FUZZ_CHECK(zl::driver::FreeRecordCount() + QueuedEverywhere() == zl::driver::RECORD_POOL_SIZE);
    ZL_FUZZ_CHECK(zl::driver::FreeRecordCount() == zl::driver::RECORD_POOL_SIZE);
    ZL_FUZZ_CHECK(zl::driver::InstalledRuleCount() == 0);
    for (auto* adapter : adapters) {
      const auto* module = static_cast<zl::driver::FilterModule*>(adapter->ModuleContext());
      ZL_FUZZ_CHECK(zl::driver::ReadModeFlags(&module->Queue) == 0);
    }
    ZL_FUZZ_CHECK(host.Violations().empty());
    ZL_FUZZ_CHECK(host.PendingDeviceRequests() == 0);
    ZL_FUZZ_CHECK(host.Pools().OutstandingTotal() == baselinePool);
    // The driver-wide events outlive the handle; packet events go with it.
    for (PKEVENT event : events) {
      const long held = long(zl::driver::Driver.WanEvent == event) + long(zl::driver::Driver.AdapterListChangeEvent == event);
      ZL_FUZZ_CHECK(host.EventReferences(event) == 1 + held);
    }
  }
};

Bench* bench = nullptr;

void UnloadAtExit() {
  if (bench != nullptr) bench->Reload(false);
}

zl::ndishost::ListShape FrameList(std::span<const std::uint8_t> bytes, std::uint8_t shape) {
  zl::ndishost::FrameShape frame;
  frame.bytes.assign(bytes.begin(), bytes.end());
  if ((shape & 1) && frame.bytes.size() > 20) frame.descriptorSizes = {14, frame.bytes.size() - 14};
  zl::ndishost::ListShape list;
  list.frames.push_back(std::move(frame));
  list.ieee8021q = shape >> 4;
  return list;
}

void RunOperation(zl::fuzz::InputReader& input) {
  const std::uint8_t op = input.Byte();
  switch (op % 8) {
    case 5:
    case 6: {  // a frame arrives from the miniport (5) or the protocols (6)
      auto* adapter = bench->adapters[input.Byte() % bench->adapters.size()];
      const std::uint8_t shape = input.Byte();
      const std::size_t length = input.Take<std::uint16_t>() % 1600;
      const auto list = FrameList(input.Bytes(length), shape);
      if (op % 8 == 5) {
        adapter->ReceiveFromMiniport({list});
      } else {
        adapter->SendFromStack({list});
      }
      return;
    }
    case 7: {  // the client writes its memory
      const std::size_t offset = input.Take<std::uint16_t>() % kArenaSize;
      const std::size_t length = std::min<std::size_t>(input.Take<std::uint16_t>() % 2048, kArenaSize - offset);
      const auto bytes = input.Bytes(length);
      std::memcpy(bench->client.arena.data() + offset, bytes.data(), bytes.size());
      return;
    }
    case 4: {  // the client's handles
      switch (input.Byte() % 4) {
        case 0: {  // a request that reaches the device without a file object
          const auto result = bench->host.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, kCodes[0], Bytes(8, 0), 4, false,
                                                            &bench->client);
          ZL_FUZZ_CHECK(result.completed && result.status == STATUS_UNSUCCESSFUL);
          return;
        }
        case 1:  // another handle: closing one of several changes nothing
          if (bench->extraHandles < 4) {
            bench->Send(IRP_MJ_CREATE, 0, {}, 0);
            ++bench->extraHandles;
          }
          return;
        case 2:
          if (bench->extraHandles > 0) {
            bench->Send(IRP_MJ_CLEANUP, 0, {}, 0);
            bench->Send(IRP_MJ_CLOSE, 0, {}, 0);
            --bench->extraHandles;
          }
          return;
        default:
          bench->Send(IRP_MJ_CLEANUP, 0, {}, 0);
          return;
      }
    }
    default: {  // a control request
      const std::uint8_t selector = input.Byte();
      const std::uint32_t code = selector == 0xFF ? input.Take<std::uint32_t>() : kCodes[selector % kCodes.size()];
      const std::size_t inputLength = input.Take<std::uint16_t>() % 4096;
      const std::uint16_t outputField = input.Take<std::uint16_t>();
      const std::uint32_t outputLength =
          (op & 0x80) ? kLargeOutputs[outputField % kLargeOutputs.size()] : outputField % 4096;
      const auto bytes = input.Bytes(inputLength);
      Bytes request(bytes.begin(), bytes.end());
      bench->SubstituteHandles(request);
      const auto result = bench->Send(IRP_MJ_DEVICE_CONTROL, code, request, outputLength);
      ZL_FUZZ_CHECK(result.completed && !result.pending);
      ZL_FUZZ_CHECK(result.information <= std::max<std::size_t>(request.size(), outputLength));
      return;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  bench = new Bench;
  std::atexit(UnloadAtExit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zl::fuzz::InputReader input(data, size);
  bench->client.arena.fill(0);
  bench->Send(IRP_MJ_CREATE, 0, {}, 0);
  for (std::size_t i = 0; i < kMaxOperations && !input.Empty(); ++i) RunOperation(input);
  // Every handle the input opened is closed, its own last.
  for (int closing = bench->extraHandles + 1; closing > 0; --closing) {
    bench->Send(IRP_MJ_CLEANUP, 0, {}, 0);
    bench->Send(IRP_MJ_CLOSE, 0, {}, 0);
  }
  bench->extraHandles = 0;
  bench->Drain();
  bench->CheckInvariants();
  if (++bench->inputs % kReloadInterval == 0) bench->Reload(true);
  return 0;
}
