// vorlanex-host as the machine's kernel: its control device reached from two
// processes, pointers read in the caller, events as eventfds, the frame
// endpoints, the hosted network's adapter, parameters and a clean unload.
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/vorlanex_device_client.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/vorlanex_host.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/registry.h"
#include "zl/platform/sync_event.h"

namespace zl::test {
namespace {

namespace vx = zl::vorlanex;
namespace machine = zl::platform::machine;

constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr int kBoundMs = 10000;

// A second process holding its own handle; it answers what it sees through it
// and ends (closing the handle with it) when killed.
class ChildHandle {
 public:
  ChildHandle() {
    int toChild[2], toParent[2];
    if (::pipe(toChild) != 0 || ::pipe(toParent) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(toChild[1]);
      ::close(toParent[0]);
      DeviceClient device;
      const std::uint64_t adapter = device.AdapterHandle(WiredAdapterGuid());
      char opened = device.Open() && adapter != 0 ? 'o' : 'f';
      if (::write(toParent[1], &opened, 1) != 1) ::_exit(1);
      char command;
      while (::read(toChild[0], &command, 1) == 1) {
        const std::uint32_t answer[2] = {device.Mode(adapter), device.TableSize()};
        if (::write(toParent[1], answer, sizeof answer) != ssize_t(sizeof answer)) break;
      }
      ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(toParent[1]);
    commands_ = toChild[1];
    answers_ = toParent[0];
    char opened = 0;
    opened_ = ::read(answers_, &opened, 1) == 1 && opened == 'o';
  }
  ~ChildHandle() {
    Kill();
    if (commands_ >= 0) ::close(commands_);
    if (answers_ >= 0) ::close(answers_);
  }
  bool Opened() const { return opened_; }
  pid_t Pid() const { return pid_; }
  // Mode of the wired adapter and the table's size, as the child sees them.
  std::pair<std::uint32_t, std::uint32_t> Look() {
    std::uint32_t answer[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    const char command = 'l';
    if (::write(commands_, &command, 1) != 1 || ::read(answers_, answer, sizeof answer) != ssize_t(sizeof answer)) {
      return {0xFFFFFFFF, 0xFFFFFFFF};
    }
    return {answer[0], answer[1]};
  }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int commands_ = -1;
  int answers_ = -1;
  bool opened_ = false;
};

class VorlanexHostTest : public ::testing::Test {
 protected:
  // Waits (bounded) until the host has logged the line; the host writes it
  // after the driver has handled what the line reports.
  bool WaitForLog(const std::string& line) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBoundMs);
    while (std::chrono::steady_clock::now() < deadline) {
      if (host_->Log().find(line) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  void StartHost() {
    host_ = std::make_unique<HostProcess>();
    ASSERT_TRUE(host_->Ready()) << host_->Log();
  }
  // Every host ends cleanly: driver unloaded, nothing leaked, and no report of
  // the sanitizer it was built with.
  void TearDown() override {
    if (host_ && host_->Pid() > 0) {
      EXPECT_EQ(host_->Stop(), 0) << host_->Log();
    }
  }

  EmulatedMachine machine_;
  std::unique_ptr<HostProcess> host_;
};

TEST_F(VorlanexHostTest, WithoutAHostTheDeviceDoesNotExist) {
  EXPECT_EQ(zl::platform::OpenDevice("\\\\.\\VORLANEX"), zl::platform::kInvalidDevice);
  EXPECT_EQ(zl::platform::LastDeviceError(), 2u);
}

TEST_F(VorlanexHostTest, ClosingOneOfTwoHandlesChangesNothingAndEndingTheLastResetsModesAndTable) {
  StartHost();
  auto mine = std::make_unique<DeviceClient>();
  ASSERT_TRUE(mine->Open());
  ChildHandle child;
  ASSERT_TRUE(child.Opened());
  const std::uint64_t wired = mine->AdapterHandle(WiredAdapterGuid());
  ASSERT_NE(wired, 0u);
  ASSERT_EQ(mine->SetMode(wired, vx::MODE_DIVERT_OUTBOUND | vx::MODE_DIVERT_INBOUND), 0u);
  ASSERT_EQ(mine->InstallPassTable(), 0u);

  mine->Close();  // returns once the driver has seen cleanup and close
  EXPECT_EQ(child.Look(), std::make_pair(3u, 1u));

  const std::string closed = "handle of process " + std::to_string(child.Pid()) + " closed";
  child.Kill();
  ASSERT_TRUE(WaitForLog(closed)) << host_->Log();

  DeviceClient after;
  ASSERT_TRUE(after.Open());
  EXPECT_EQ(after.Mode(after.AdapterHandle(WiredAdapterGuid())), 0u);
  EXPECT_EQ(after.TableSize(), 0u);
}

TEST_F(VorlanexHostTest, ClosingTheLastHandleInTheSameProcessResetsAsWell) {
  StartHost();
  {
    DeviceClient first, second;
    const std::uint64_t wired = first.AdapterHandle(WiredAdapterGuid());
    ASSERT_EQ(first.SetMode(wired, vx::MODE_COPY_INBOUND), 0u);
    ASSERT_EQ(first.InstallPassTable(), 0u);
    first.Close();
    EXPECT_EQ(second.Mode(wired), vx::MODE_COPY_INBOUND);
    EXPECT_EQ(second.TableSize(), 1u);
  }
  DeviceClient after;
  EXPECT_EQ(after.Mode(after.AdapterHandle(WiredAdapterGuid())), 0u);
  EXPECT_EQ(after.TableSize(), 0u);
}

// An address that is certainly not mapped in this process.
std::uint64_t UnmappedAddress() {
  void* page = ::mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ::munmap(page, 4096);
  return reinterpret_cast<std::uintptr_t>(page);
}

TEST_F(VorlanexHostTest, PointersInsideRequestsAreReadInTheCallerAndABadOneFailsTheRequest) {
  StartHost();
  DeviceClient device;
  const std::uint64_t wired = device.AdapterHandle(WiredAdapterGuid());
  FrameSocket wire(FrameEndpoint(WiredAdapterGuid(), "miniport"));
  ASSERT_TRUE(wire.Register(kBoundMs));

  auto record = std::make_unique<vx::PacketRecord>();
  const std::vector<std::uint8_t> frame = TestFrame(0x5A);
  record->Direction = vx::DIRECTION_OUTBOUND;
  record->Length = std::uint32_t(frame.size());
  std::memcpy(record->Frame, frame.data(), frame.size());

  vx::PacketRequest bad{wired, UnmappedAddress()};
  EXPECT_EQ(device.Request(vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, &bad, sizeof bad, nullptr, 0), kErrorInvalidParameter);
  vx::PacketRequest good{wired, reinterpret_cast<std::uintptr_t>(record.get())};
  ASSERT_EQ(device.Request(vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, &good, sizeof good, nullptr, 0), 0u);
  EXPECT_EQ(wire.Receive(kBoundMs), frame);

  // The host stays usable after the fault.
  std::uint32_t version = 0, bytes = 0;
  EXPECT_EQ(device.Request(vx::IOCTL_VORLANEX_GET_VERSION, nullptr, 0, &version, sizeof version, &bytes), 0u);
  EXPECT_EQ(version, vx::VORLANEX_DRIVER_VERSION);
  EXPECT_EQ(bytes, 4u);
}

TEST_F(VorlanexHostTest, AFrameFromTheWirePassesInModeZeroAndIsQueuedWithItsEventInModeThree) {
  StartHost();
  DeviceClient device;
  const std::uint64_t wired = device.AdapterHandle(WiredAdapterGuid());
  FrameSocket wire(FrameEndpoint(WiredAdapterGuid(), "miniport"));
  FrameSocket protocols(FrameEndpoint(WiredAdapterGuid(), "stack"));
  ASSERT_TRUE(protocols.Register(kBoundMs));

  ASSERT_TRUE(wire.Send(TestFrame(1)));
  EXPECT_EQ(protocols.Receive(kBoundMs), TestFrame(1));

  const zl::platform::EventHandle event = zl::platform::CreateManualResetEvent();
  ASSERT_NE(event, zl::platform::kNoEvent);
  ASSERT_EQ(device.SetPacketEvent(wired, event), 0u);
  ASSERT_EQ(device.SetMode(wired, vx::MODE_DIVERT_OUTBOUND | vx::MODE_DIVERT_INBOUND), 0u);
  ASSERT_TRUE(wire.Send(TestFrame(2)));
  ASSERT_TRUE(zl::platform::WaitForEvent(event, kBoundMs));
  // Queued, not passed: the driver decided before it signalled.
  EXPECT_TRUE(protocols.Receive(0).empty());

  auto record = std::make_unique<vx::PacketRecord>();
  ASSERT_EQ(device.ReadPacket(wired, *record), 0u);
  EXPECT_EQ(record->Direction, vx::DIRECTION_INBOUND);
  ASSERT_EQ(record->Length, TestFrame(2).size());
  EXPECT_EQ(std::vector<std::uint8_t>(record->Frame, record->Frame + record->Length), TestFrame(2));

  // Handed back up, it reaches the protocols after all.
  vx::PacketRequest request{wired, reinterpret_cast<std::uintptr_t>(record.get())};
  ASSERT_EQ(device.Request(vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, &request, sizeof request, nullptr, 0), 0u);
  EXPECT_EQ(protocols.Receive(kBoundMs), TestFrame(2));

  // Reset by the client, the event stays clear until the next frame.
  zl::platform::ClearEvent(event);
  EXPECT_FALSE(zl::platform::WaitForEvent(event, 0));
  ASSERT_TRUE(wire.Send(TestFrame(3)));
  EXPECT_TRUE(zl::platform::WaitForEvent(event, kBoundMs));
  zl::platform::CloseEventHandle(event);
}

TEST_F(VorlanexHostTest, AHandleThatIsNoEventIsRefused) {
  StartHost();
  DeviceClient device;
  const std::uint64_t wired = device.AdapterHandle(WiredAdapterGuid());
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  EXPECT_EQ(device.SetPacketEvent(wired, pipeFds[0]), kErrorInvalidParameter);
  EXPECT_EQ(device.SetPacketEvent(wired, 100000), kErrorInvalidParameter);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

TEST_F(VorlanexHostTest, TheHostedNetworksAdapterIsAttachedWhileItRunsAndDetachedWhenItStops) {
  StartHost();
  DeviceClient device;
  const zl::platform::EventHandle listChanged = zl::platform::CreateManualResetEvent();
  vx::EventRequest request{std::uint64_t(listChanged)};
  ASSERT_EQ(device.Request(vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT, &request, sizeof request, nullptr, 0), 0u);

  ASSERT_EQ(machine::SetHostedNetworkMode(true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkSsid("Zephlink"), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkKey("geheim123", true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::StartHostedNetwork(), machine::HostedResult::Ok);
  const std::string hosted = machine::ReadHostedNetwork().adapterGuid;

  ASSERT_TRUE(zl::platform::WaitForEvent(listChanged, kBoundMs));
  EXPECT_NE(device.AdapterHandle(hosted), 0u);
  EXPECT_EQ(::access(FrameEndpoint(hosted, "miniport").c_str(), F_OK), 0);

  zl::platform::ClearEvent(listChanged);
  ASSERT_EQ(machine::StopHostedNetwork(), machine::HostedResult::Ok);
  ASSERT_TRUE(zl::platform::WaitForEvent(listChanged, kBoundMs));
  EXPECT_EQ(device.AdapterHandle(hosted), 0u);
  EXPECT_NE(device.AdapterHandle(WiredAdapterGuid()), 0u);
  EXPECT_NE(::access(FrameEndpoint(hosted, "miniport").c_str(), F_OK), 0);
  zl::platform::CloseEventHandle(listChanged);
}

TEST_F(VorlanexHostTest, TheDriversParametersComeFromTheMachinesRegistry) {
  zl::platform::RegistryKey key;
  ASSERT_EQ(key.Create("SYSTEM\\CurrentControlSet\\Services\\VORLANEX\\Parameters", zl::platform::kKeyWrite), 0u);
  ASSERT_EQ(key.SetValue("StartupMode", zl::platform::MakeDwordValue(3)), 0u);
  key.Close();
  StartHost();
  DeviceClient device;
  EXPECT_EQ(device.Mode(device.AdapterHandle(WiredAdapterGuid())), 3u);
}

TEST_F(VorlanexHostTest, SigtermUnloadsTheDriverWithNothingLeftEvenWithHandlesOpenAndFramesQueued) {
  StartHost();
  DeviceClient device;
  const std::uint64_t wired = device.AdapterHandle(WiredAdapterGuid());
  const zl::platform::EventHandle event = zl::platform::CreateManualResetEvent();
  ASSERT_EQ(device.SetPacketEvent(wired, event), 0u);
  ASSERT_EQ(device.SetMode(wired, vx::MODE_DIVERT_INBOUND), 0u);
  FrameSocket wire(FrameEndpoint(WiredAdapterGuid(), "miniport"));
  ASSERT_TRUE(wire.Send(TestFrame(7)));
  ASSERT_TRUE(zl::platform::WaitForEvent(event, kBoundMs));

  EXPECT_EQ(host_->Stop(), 0) << host_->Log();
  const std::string log = host_->Log();
  EXPECT_NE(log.find("driver unloaded"), std::string::npos) << log;
  EXPECT_EQ(log.find("leak"), std::string::npos) << log;
  EXPECT_EQ(::access((machine_.Directory() + "/Devices/VORLANEX").c_str(), F_OK), -1);
  // The handle outlived the device: its requests fail, they do not hang.
  std::uint32_t version = 0;
  EXPECT_NE(device.Request(vx::IOCTL_VORLANEX_GET_VERSION, nullptr, 0, &version, sizeof version), 0u);
  zl::platform::CloseEventHandle(event);
}

}  // namespace
}  // namespace zl::test
