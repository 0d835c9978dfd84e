// The driver-wide events replaced through the control device while status and
// attach/detach handlers signal them from other threads, and a client reading
// frames through the device meanwhile. A signal must never reach an event the
// driver has already released (the host reports that), and every reference the
// driver took is given back.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "driver/control/vorlanex_interface.h"
#include "driver/entry/driver_events.h"
#include "tests/driver/support/driver_fixture.h"

namespace zl::drivertest {
namespace {

namespace vx = zl::vorlanex;

constexpr int kRounds = 200;
constexpr int kRoundLimit = 200000;
constexpr long kSignalsWanted = 20;

class EventReplacementTest : public DriverTest {};

template <typename T>
Bytes BytesOf(const T& value) {
  Bytes bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

TEST_F(EventReplacementTest, EventsReplacedWhileHandlersSignalThemAreNeverSignalledAfterRelease) {
  LoadDriver();
  auto& wan = host_.AddAdapter(AdapterNamed("{WAN}", NdisMediumWan));
  auto& ethernet = AddAdapter("{ETH}");
  const ULONG64 ethernetHandle = ULONG64(reinterpret_cast<ULONG_PTR>(ethernet.ModuleContext()));
  SetMode(ethernet, vx::MODE_DIVERT_INBOUND);
  std::vector<PKEVENT> events;
  std::vector<std::uint64_t> handles;
  for (int i = 0; i < 4; ++i) {
    events.push_back(host_.CreateEvent());
    handles.push_back(host_.Caller().OpenHandle(events.back()));
  }
  std::atomic<bool> stop{false};

  std::thread statusThread([&] {
    NDIS_WAN_LINE_UP lineUp = {};
    lineUp.MaximumTotalSize = 1500;
    NDIS_WAN_LINE_DOWN lineDown = {};
    for (int i = 0; !stop.load(); ++i) {
      NDIS_STATUS_INDICATION indication = {};
      indication.StatusCode = i % 2 == 0 ? NDIS_STATUS_WAN_LINE_UP : NDIS_STATUS_WAN_LINE_DOWN;
      indication.StatusBuffer = i % 2 == 0 ? static_cast<void*>(&lineUp) : static_cast<void*>(&lineDown);
      indication.StatusBufferSize = i % 2 == 0 ? sizeof lineUp : sizeof lineDown;
      wan.IndicateStatusFromMiniport(indication);
    }
  });
  std::thread bindingThread([&] {
    for (int i = 0; !stop.load(); ++i) {
      auto& transient = host_.AddAdapter(AdapterNamed("{T" + std::to_string(i % 3) + "}"));
      host_.RemoveAdapter(transient);
    }
  });
  std::thread trafficThread([&] {
    while (!stop.load()) ethernet.ReceiveFromMiniport(Chain({EthernetFrame(kAdapterMac, kClientMac, 0x0800, 80)}));
  });
  std::thread clientThread([&] {
    vx::PacketRecord record{};
    const Bytes request = BytesOf(vx::PacketRequest{ethernetHandle, reinterpret_cast<std::uintptr_t>(&record)});
    while (!stop.load()) host_.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, vx::IOCTL_VORLANEX_READ_PACKET, request, 16);
  });

  // At least kRounds replacements, and on until both kinds of handler have
  // signalled one of the events while they were being replaced.
  const auto signalled = [&] {
    long total = 0;
    for (PKEVENT event : events) total += host_.EventSignals(event);
    return total;
  };
  for (int round = 0; round < kRounds || (signalled() < 2 * kSignalsWanted && round < kRoundLimit); ++round) {
    std::this_thread::yield();
    const std::uint64_t handle = round % 5 == 4 ? 0 : handles[std::size_t(round) % handles.size()];
    const std::uint32_t code = round % 2 == 0 ? vx::IOCTL_VORLANEX_SET_WAN_EVENT : vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT;
    const auto result = host_.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, code, BytesOf(vx::EventRequest{handle}), 0);
    EXPECT_EQ(result.status, STATUS_SUCCESS);
  }
  stop = true;
  statusThread.join();
  bindingThread.join();
  trafficThread.join();
  clientThread.join();

  for (std::uint32_t code : {vx::IOCTL_VORLANEX_SET_WAN_EVENT, vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT}) {
    host_.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, code, BytesOf(vx::EventRequest{0}), 0);
  }
  for (PKEVENT event : events) EXPECT_EQ(host_.EventReferences(event), 1);
  EXPECT_GE(signalled(), 2 * kSignalsWanted);
  ExpectRecordsConserved();
}

}  // namespace
}  // namespace zl::drivertest
