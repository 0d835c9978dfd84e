// Control requests as the host's I/O manager sends them: the system buffer, the
// requester while the dispatch routine runs, pending requests completed later,
// and the rules a dispatch routine must keep.
#include <gtest/gtest.h>
#include <ndis.h>

#include <string>
#include <vector>

#include "shared/support/clock.h"
#include "zl/ndishost/kernel_host.h"

namespace zl::ndishost {
namespace {

// What the minimal driver below does with a device-control request.
enum class Behaviour { CompleteAtOnce, PendAndKeep, ReturnPendingUnmarked, MarkButCompleteWithSuccess, ReportTooMuch };
Behaviour behaviour = Behaviour::CompleteAtOnce;
PIRP keptRequest = nullptr;
Requester* requesterSeen = nullptr;
NDIS_HANDLE deviceHandle = nullptr;

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IofCompleteRequest(irp, 0);
  return status;
}

NTSTATUS Dispatch(PDEVICE_OBJECT, PIRP irp) {
  requesterSeen = CurrentRequester();
  switch (behaviour) {
    case Behaviour::CompleteAtOnce:
      return Complete(irp, STATUS_SUCCESS, 2);
    case Behaviour::PendAndKeep:
      IoMarkIrpPending(irp);
      keptRequest = irp;
      return STATUS_PENDING;
    case Behaviour::ReturnPendingUnmarked:
      keptRequest = irp;
      return STATUS_PENDING;
    case Behaviour::MarkButCompleteWithSuccess:
      IoMarkIrpPending(irp);
      return Complete(irp, STATUS_SUCCESS, 0);
    case Behaviour::ReportTooMuch:
      return Complete(irp, STATUS_SUCCESS, 64);
  }
  return STATUS_UNSUCCESSFUL;
}

NDIS_STATUS Attach(NDIS_HANDLE, NDIS_HANDLE, PNDIS_FILTER_ATTACH_PARAMETERS) { return NDIS_STATUS_SUCCESS; }
VOID Detach(NDIS_HANDLE) {}
NDIS_STATUS Restart(NDIS_HANDLE, PNDIS_FILTER_RESTART_PARAMETERS) { return NDIS_STATUS_SUCCESS; }
NDIS_STATUS Pause(NDIS_HANDLE, PNDIS_FILTER_PAUSE_PARAMETERS) { return NDIS_STATUS_SUCCESS; }

NTSTATUS MinimalDriverEntry(PDRIVER_OBJECT driverObject, PUNICODE_STRING) {
  static NDIS_HANDLE filterHandle;
  NDIS_FILTER_DRIVER_CHARACTERISTICS characteristics = {};
  characteristics.Header = {NDIS_OBJECT_TYPE_FILTER_DRIVER_CHARACTERISTICS, NDIS_FILTER_CHARACTERISTICS_REVISION_2,
                            NDIS_SIZEOF_FILTER_DRIVER_CHARACTERISTICS_REVISION_2};
  characteristics.AttachHandler = Attach;
  characteristics.DetachHandler = Detach;
  characteristics.RestartHandler = Restart;
  characteristics.PauseHandler = Pause;
  NDIS_STATUS status = NdisFRegisterFilterDriver(driverObject, driverObject, &characteristics, &filterHandle);
  if (status != NDIS_STATUS_SUCCESS) return status;
  PDRIVER_DISPATCH dispatch[IRP_MJ_MAXIMUM_FUNCTION + 1] = {};
  dispatch[IRP_MJ_DEVICE_CONTROL] = Dispatch;
  NDIS_DEVICE_OBJECT_ATTRIBUTES attributes = {};
  attributes.Header = {NDIS_OBJECT_TYPE_DEVICE_OBJECT_ATTRIBUTES, NDIS_DEVICE_OBJECT_ATTRIBUTES_REVISION_1,
                       NDIS_SIZEOF_DEVICE_OBJECT_ATTRIBUTES_REVISION_1};
  attributes.MajorFunctions = dispatch;
  PDEVICE_OBJECT device = nullptr;
  status = NdisRegisterDeviceEx(filterHandle, &attributes, &device, &deviceHandle);
  driverObject->DriverUnload = [](PDRIVER_OBJECT) {
    NdisDeregisterDeviceEx(deviceHandle);
    NdisFDeregisterFilterDriver(filterHandle);
  };
  return status;
}

class DeviceRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    behaviour = Behaviour::CompleteAtOnce;
    keptRequest = nullptr;
    requesterSeen = nullptr;
    ASSERT_EQ(host_.LoadDriver(MinimalDriverEntry), STATUS_SUCCESS);
  }
  KernelHost::DeviceRequestResult Send(ULONG outputLength, Requester* requester = nullptr) {
    return host_.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, 0x1234, {1, 2, 3}, outputLength, true, requester);
  }

  zl::VirtualClock clock_;
  KernelHost host_{clock_};
};

TEST_F(DeviceRequestTest, TheSystemBufferHoldsTheInputThenStaleBytesAndTheRequesterIsCurrent) {
  CallerProcess other;
  const auto result = Send(6, &other);
  ASSERT_TRUE(result.completed);
  EXPECT_EQ(result.information, 2u);
  EXPECT_EQ(result.buffer, (std::vector<std::uint8_t>{1, 2, 3, KernelHost::kStaleBufferByte,
                                                       KernelHost::kStaleBufferByte, KernelHost::kStaleBufferByte}));
  EXPECT_EQ(requesterSeen, &other);
  EXPECT_EQ(CurrentRequester(), nullptr);
  Send(4);
  EXPECT_EQ(requesterSeen, &host_.Caller());
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{});
}

TEST_F(DeviceRequestTest, APendingRequestIsKeptUntilTheDriverCompletesIt) {
  behaviour = Behaviour::PendAndKeep;
  const auto result = Send(4);
  ASSERT_TRUE(result.pending);
  EXPECT_FALSE(host_.CompletedRequest(result.id).has_value());
  EXPECT_EQ(host_.PendingDeviceRequests(), 1u);
  Complete(keptRequest, STATUS_SUCCESS, 3);
  const auto completed = host_.CompletedRequest(result.id);
  ASSERT_TRUE(completed.has_value());
  EXPECT_EQ(completed->information, 3u);
  EXPECT_EQ(host_.PendingDeviceRequests(), 0u);
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{});
}

struct RuleCase {
  Behaviour behaviour;
  std::string violation;
};

TEST_F(DeviceRequestTest, BrokenDispatchRulesAreReported) {
  const RuleCase cases[] = {
      {Behaviour::ReturnPendingUnmarked, "dispatch routine returned STATUS_PENDING without marking its request pending"},
      {Behaviour::MarkButCompleteWithSuccess, "dispatch routine marked its request pending but returned another status"},
      {Behaviour::ReportTooMuch, "request completed with more bytes than the caller's output length"},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.violation);
    behaviour = c.behaviour;
    keptRequest = nullptr;
    const auto before = host_.Violations().size();
    Send(4);
    if (keptRequest != nullptr) Complete(keptRequest, STATUS_SUCCESS, 0);
    const auto violations = host_.Violations();
    ASSERT_GT(violations.size(), before);
    EXPECT_EQ(violations[before], c.violation);
  }
  // Completing a request twice is reported too.
  behaviour = Behaviour::PendAndKeep;
  Send(4);
  Complete(keptRequest, STATUS_SUCCESS, 0);
  const auto before = host_.Violations().size();
  Complete(keptRequest, STATUS_SUCCESS, 0);
  EXPECT_EQ(host_.Violations().size(), before + 1);
  EXPECT_EQ(host_.Violations().back(), "request completed twice");
}

TEST_F(DeviceRequestTest, UnloadingWithARequestNeverCompletedIsReported) {
  behaviour = Behaviour::PendAndKeep;
  Send(4);
  host_.UnloadDriver();
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{"driver unloaded with control requests never completed"});
}

}  // namespace
}  // namespace zl::ndishost
