// The driver's control device served by an in-process kernel host and reached
// through device_io.h: pended requests answered when the driver completes
// them, and the host's copies of a caller's eventfds.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "driver/control/vorlanex_interface.h"
#include "driver/entry/driver_state.h"
#include "shared/support/clock.h"
#include "tests/support/emulated_machine.h"
#include "zl/ndishost/control_device_service.h"
#include "zl/ndishost/kernel_host.h"
#include "zl/platform/device_io.h"
#include "zl/platform/sync_event.h"

namespace zl::ndishost {
namespace {

namespace vx = zl::vorlanex;

constexpr std::uint32_t kOid = 0x0001010E;  // OID_GEN_CURRENT_PACKET_FILTER

// Descriptors of this process that are eventfds.
int EventfdCount() {
  int count = 0;
  DIR* folder = ::opendir("/proc/self/fd");
  while (dirent* entry = ::readdir(folder)) {
    char target[64] = {};
    const std::string path = std::string("/proc/self/fd/") + entry->d_name;
    if (::readlink(path.c_str(), target, sizeof target - 1) > 0 && std::strcmp(target, "anon_inode:[eventfd]") == 0) {
      ++count;
    }
  }
  ::closedir(folder);
  return count;
}

struct OidMessage {
  vx::OidPassRequest header;
  std::uint32_t value;
} __attribute__((packed));

class ControlDeviceServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AdapterConfig config;
    config.deviceName = "\\DEVICE\\{11111111-2222-3333-4444-555555555555}";
    adapter_ = &host_.AddAdapter(config);
    ASSERT_EQ(host_.LoadDriver(DriverEntry), STATUS_SUCCESS);
    ASSERT_TRUE(service_.Start(zl::platform::DeviceSocketPath("VORLANEX")));
    device_ = zl::platform::OpenDevice("\\\\.\\VORLANEX");
    ASSERT_NE(device_, zl::platform::kInvalidDevice);
    auto list = std::make_unique<vx::AdapterList>();
    std::uint32_t bytes = 0;
    ASSERT_TRUE(zl::platform::DeviceIoControl(device_, vx::IOCTL_VORLANEX_GET_ADAPTER_LIST, nullptr, 0, list.get(),
                                              sizeof *list, bytes));
    ASSERT_EQ(list->Count, 1u);
    adapterHandle_ = list->Handle[0];
  }
  void TearDown() override {
    zl::platform::CloseDevice(device_);
    service_.Stop();
    host_.UnloadDriver();
    EXPECT_TRUE(host_.Pools().Leaks().empty());
    EXPECT_TRUE(host_.Violations().empty()) << host_.Violations().front();
  }
  // Waits (bounded) until the client's OID request is held at the miniport.
  bool WaitForHeldOid() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      for (const OidRequestSeen& seen : adapter_->TakeOidRequests()) {
        if (seen.oid == kOid && seen.completedAsync) return true;
      }
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::yield();
    }
  }

  zl::test::EmulatedMachine machine_;
  zl::VirtualClock clock_;
  KernelHost host_{clock_};
  ControlDeviceService service_{host_};
  EmulatedAdapter* adapter_ = nullptr;
  zl::platform::DeviceHandle device_ = zl::platform::kInvalidDevice;
  std::uint64_t adapterHandle_ = 0;
};

TEST_F(ControlDeviceServiceTest, APendedOidQueryIsAnsweredWhenTheMiniportCompletesIt) {
  adapter_->HoldOidRequests(true);
  OidMessage message{{adapterHandle_, kOid, 4}, 0};
  bool ok = false;
  std::uint32_t bytes = 0;
  std::thread caller([&] {
    ok = zl::platform::DeviceIoControl(device_, vx::IOCTL_VORLANEX_OID_QUERY, &message, sizeof message, &message,
                                       sizeof message, bytes);
  });
  ASSERT_TRUE(WaitForHeldOid());
  EXPECT_EQ(adapter_->CompleteHeldOidRequestsWith([](NDIS_OID_REQUEST& request) {
    const std::uint32_t value = 0x0000000B;
    std::memcpy(request.DATA.QUERY_INFORMATION.InformationBuffer, &value, sizeof value);
    request.DATA.QUERY_INFORMATION.BytesWritten = sizeof value;
    return NDIS_STATUS_SUCCESS;
  }), 1u);
  caller.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(bytes, sizeof message);
  EXPECT_EQ(message.value, 0x0000000Bu);
  EXPECT_EQ(message.header.Length, 4u);  // the bytes the miniport wrote
}

TEST_F(ControlDeviceServiceTest, APendedOidThatFailsFailsTheCallerWithNothingCopied) {
  adapter_->HoldOidRequests(true);
  OidMessage message{{adapterHandle_, kOid, 4}, 0x12345678};
  bool ok = true;
  std::uint32_t bytes = 77, error = 0;
  std::thread caller([&] {
    ok = zl::platform::DeviceIoControl(device_, vx::IOCTL_VORLANEX_OID_SET, &message, sizeof message, &message,
                                       sizeof message, bytes);
    error = zl::platform::LastDeviceError();  // the calling thread's
  });
  ASSERT_TRUE(WaitForHeldOid());
  EXPECT_EQ(adapter_->CompleteHeldOidRequests(NDIS_STATUS_NOT_SUPPORTED), 1u);
  caller.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, 50u);
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(message.header.Length, 4u);
  EXPECT_EQ(message.value, 0x12345678u);
}

TEST_F(ControlDeviceServiceTest, TheHostsCopyOfAPacketEventIsSignalledAndClosedWhenTheDriverLetsItGo) {
  const int before = EventfdCount();
  const zl::platform::EventHandle event = zl::platform::CreateManualResetEvent();
  vx::AdapterEventRequest request{adapterHandle_, std::uint64_t(event)};
  std::uint32_t bytes = 0;
  ASSERT_TRUE(zl::platform::DeviceIoControl(device_, vx::IOCTL_VORLANEX_SET_PACKET_EVENT, &request, sizeof request,
                                            nullptr, 0, bytes));
  EXPECT_EQ(EventfdCount(), before + 2);  // ours and the driver's

  vx::AdapterModeRequest mode{adapterHandle_, vx::MODE_DIVERT_INBOUND};
  ASSERT_TRUE(zl::platform::DeviceIoControl(device_, vx::IOCTL_VORLANEX_SET_ADAPTER_MODE, &mode, sizeof mode, nullptr,
                                            0, bytes));
  ListShape list;
  list.frames.emplace_back();
  list.frames.back().bytes.assign(60, 0xFF);
  adapter_->ReceiveFromMiniport({list});
  EXPECT_TRUE(zl::platform::WaitForEvent(event, 0));

  request.Event = 0;
  ASSERT_TRUE(zl::platform::DeviceIoControl(device_, vx::IOCTL_VORLANEX_SET_PACKET_EVENT, &request, sizeof request,
                                            nullptr, 0, bytes));
  EXPECT_EQ(EventfdCount(), before + 1);
  zl::platform::CloseEventHandle(event);
}

TEST_F(ControlDeviceServiceTest, ClosingTheLastHandleReleasesThePacketEventWithTheModes) {
  const int before = EventfdCount();
  const zl::platform::EventHandle event = zl::platform::CreateManualResetEvent();
  vx::AdapterEventRequest request{adapterHandle_, std::uint64_t(event)};
  std::uint32_t bytes = 0;
  ASSERT_TRUE(zl::platform::DeviceIoControl(device_, vx::IOCTL_VORLANEX_SET_PACKET_EVENT, &request, sizeof request,
                                            nullptr, 0, bytes));
  zl::platform::CloseDevice(device_);
  EXPECT_EQ(EventfdCount(), before + 1);
  zl::platform::CloseEventHandle(event);
  device_ = zl::platform::OpenDevice("\\\\.\\VORLANEX");
  ASSERT_NE(device_, zl::platform::kInvalidDevice);
}

}  // namespace
}  // namespace zl::ndishost
