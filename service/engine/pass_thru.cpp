#include "service/engine/pass_thru.h"

#include <algorithm>
#include <stdexcept>

#include "service/engine/driver_binding.h"
#include "service/zephlink_service.h"
#include "shared/netquery/adapter_queries.h"

namespace zl::engine {

using driverclient::AdapterList;
using driverclient::HANDLE;
using driverclient::LoadPacketDriverApi;
using driverclient::PacketDriver;

namespace {

constexpr std::uint32_t kDivertBothDirections = driverclient::MODE_DIVERT_OUTBOUND | driverclient::MODE_DIVERT_INBOUND;

// Counts the thread as one that may touch the binding for as long as its body runs.
struct InDriver {
  InDriver() { PacketThreadEntered(); }
  ~InDriver() { PacketThreadLeft(); }
};

}  // namespace

int FindAdapterEntry(const AdapterList& list, const std::string& adapterName) {
  if (adapterName.empty()) return -1;
  const std::uint32_t count = std::min(list.Count, driverclient::kMaxAdapters);
  for (std::uint32_t i = 0; i < count; ++i) {
    const char* begin = list.Name[i];
    const std::string_view name(begin, std::find(begin, begin + driverclient::kAdapterNameSize, '\0') - begin);
    if (name.find(adapterName) != std::string_view::npos) return static_cast<int>(i);
  }
  return -1;
}

TPassThru::TPassThru(EventLoop& loop, std::shared_ptr<service::ServiceState> state)
    : Thread(loop), state_(std::move(state)) {}

void TPassThru::Wake() {
  const platform::EventHandle event = wakeEvent_.load();
  if (event != platform::kNoEvent) platform::SignalEvent(event);
}

void TPassThru::Execute() {
  const InDriver counted;
  if (!BindAdapter()) return;
  // The request is looked at only here, between two waits.
  while (!Terminated()) {
    try {
      DrainQueue();
    } catch (...) {
      Terminate();
    }
  }
}

bool TPassThru::BindAdapter() {
  LoadPacketDriverApi();  // raises when the library cannot be loaded: the thread ends
  DriverBinding& binding = CurrentDriverBinding();
  // A binding left by an earlier thread goes first: one driver handle at a time.
  ReleaseBinding(binding);

  binding.Driver = PacketDriver.OpenFilterDriver(kPacketDriverName);
  if (!PacketDriver.IsDriverLoaded(binding.Driver)) {
    ReleaseBinding(binding);
    return false;
  }

  const std::string adapterName = netquery::GetHostedNetworkAdapterName();
  auto list = std::make_unique<AdapterList>();
  PacketDriver.GetTcpipBoundAdaptersInfo(binding.Driver, list.get());
  const int entry = FindAdapterEntry(*list, adapterName);
  if (entry < 0) {
    ReleaseBinding(binding);
    return false;
  }
  binding.Adapter = reinterpret_cast<HANDLE>(list->Handle[entry]);
  binding.AdapterMode.AdapterHandle = list->Handle[entry];
  binding.AdapterMode.Flags = kDivertBothDirections;

  binding.PacketEvent = platform::CreateManualResetEvent();
  if (binding.PacketEvent == platform::kNoEvent ||
      !PacketDriver.SetPacketEvent(binding.Driver, binding.Adapter, reinterpret_cast<HANDLE>(binding.PacketEvent))) {
    ReleaseBinding(binding);
    return false;
  }
  binding.EventRegistered = true;
  // From here on the event lives until process exit, so a stop may signal it.
  wakeEvent_ = binding.PacketEvent;

  binding.FrameRequest.AdapterHandle = list->Handle[entry];
  binding.FrameRequest.Record = reinterpret_cast<std::uintptr_t>(&binding.PacketBuffer);
  PacketDriver.SetAdapterMode(binding.Driver, &binding.AdapterMode);
  binding.AdapterDiverted = true;
  bound_ = true;
  return true;
}

void TPassThru::DrainQueue() {
  DriverBinding& binding = CurrentDriverBinding();
  if (!platform::WaitForEvent(binding.PacketEvent, -1)) throw std::runtime_error("waiting for the packet event failed");
  // Reset before reading: a frame queued while the queue is drained signals
  // the event again, so no frame is left waiting for the next wake-up.
  platform::ClearEvent(binding.PacketEvent);
  while (PacketDriver.ReadPacket(binding.Driver, &binding.FrameRequest)) HandleFrame();
}

void TPassThru::HandleFrame() {
  DriverBinding& binding = CurrentDriverBinding();
  service::ServiceState& state = *state_;
  if (state.SettingsPending) {
    state.SettingsPending = false;
    Loop().Synchronize([&state] {
      if (state.Service) state.Service->ApplySettings();
    });
  }
  if (state.ReportPending) {
    Loop().Synchronize([&state] {
      if (state.Service) {
        state.Service->SendClientAddressReport();
      } else {
        state.ClientAddressList.Clear();
      }
    });
    state.ReportPending = false;
  }

  driverclient::PacketRecord& frame = binding.PacketBuffer;
  const std::size_t length = std::min<std::size_t>(frame.Length, driverclient::kMaxFrameSize);
  const Verdict verdict =
      JudgeFrame(frame.Frame, length, frame.Direction, state.FilterRules, state.ClientAddressList, *this);
  if (verdict == Verdict::Drop) return;
  if (frame.Direction == DIRECTION_OUTBOUND) {
    PacketDriver.SendPacketToAdapter(binding.Driver, &binding.FrameRequest);
  } else {
    PacketDriver.SendPacketToMstcp(binding.Driver, &binding.FrameRequest);
  }
}

void TPassThru::LogRequestUrl(std::string_view clientMac, const std::uint8_t* frame, std::size_t length) {
  engine::LogRequestUrl(clientMac, frame, length, Loop().GetClock(), *this);
}

void TPassThru::WriteUrlLogLine(const std::string& line) {
  service::ServiceState& state = *state_;
  Loop().Synchronize([&state, &line] {
    if (state.Service) state.Service->WriteUrlLogLine(line);
  });
}

}  // namespace zl::engine
