// The protocols' OID requests through a filter module: offload refusal, clones
// completed at once or later, the size and address adjustments, cancellation.
#include <cstring>

#include "driver/modules/filter_module.h"
#include "tests/driver/support/driver_fixture.h"

namespace zl::drivertest {
namespace {

using zl::ndishost::TagFromText;

const std::string kParametersKey = std::string(zl::ndishost::kServicesRoot) + "\\VORLANEX\\Parameters";

class OidRequestsTest : public DriverTest {
 protected:
  void Start(ULONG mtuDecrement = 0) {
    host_.Registry().SetDword(kParametersKey, "MTUDecrement", mtuDecrement);
    LoadDriver();
    adapter_ = &AddAdapter();
    adapter_->TakeOidRequests();  // the offload request of the restart
  }
  static NDIS_OID_REQUEST Request(NDIS_REQUEST_TYPE type, NDIS_OID oid, void* buffer, UINT length) {
    NDIS_OID_REQUEST request = {};
    request.Header = {NDIS_OBJECT_TYPE_OID_REQUEST, NDIS_OID_REQUEST_REVISION_1, NDIS_SIZEOF_OID_REQUEST_REVISION_1};
    request.RequestType = type;
    request.RequestId = reinterpret_cast<PVOID>(std::uintptr_t(0x77));
    request.DATA.QUERY_INFORMATION.Oid = oid;
    request.DATA.QUERY_INFORMATION.InformationBuffer = buffer;
    request.DATA.QUERY_INFORMATION.InformationBufferLength = length;
    // Counts left over from an earlier use of the request.
    request.DATA.QUERY_INFORMATION.BytesWritten = 99;
    request.DATA.QUERY_INFORMATION.BytesNeeded = 99;
    return request;
  }
  static NDIS_STATUS Answer(NDIS_OID_REQUEST& request, USHORT value) {
    std::memcpy(request.DATA.QUERY_INFORMATION.InformationBuffer, &value, sizeof value);
    request.DATA.QUERY_INFORMATION.BytesWritten = sizeof value;
    request.DATA.QUERY_INFORMATION.BytesNeeded = 0;
    return NDIS_STATUS_SUCCESS;
  }
  USHORT ListedMtu() {
    zl::driver::AdapterList list{};
    zl::driver::FillAdapterList(&list);
    return list.Mtu[0];
  }

  zl::ndishost::EmulatedAdapter* adapter_ = nullptr;
};

TEST_F(OidRequestsTest, TcpOffloadQueriesAndSetsAreRefusedWithoutReachingTheAdapter) {
  Start();
  for (NDIS_OID oid : {OID_TCP_OFFLOAD_CURRENT_CONFIG, OID_TCP_OFFLOAD_PARAMETERS, OID_TCP_OFFLOAD_HARDWARE_CAPABILITIES}) {
    for (NDIS_REQUEST_TYPE type : {NdisRequestQueryInformation, NdisRequestSetInformation}) {
      SCOPED_TRACE(std::to_string(oid) + " type " + std::to_string(type));
      UCHAR buffer[32] = {};
      NDIS_OID_REQUEST request = Request(type, oid, buffer, sizeof buffer);
      EXPECT_EQ(adapter_->OidRequestFromStack(request), NDIS_STATUS_NOT_SUPPORTED);
      EXPECT_EQ(request.DATA.QUERY_INFORMATION.BytesWritten, 0u);
      EXPECT_EQ(request.DATA.QUERY_INFORMATION.BytesNeeded, 0u);
    }
  }
  EXPECT_TRUE(adapter_->TakeOidRequests().empty());

  // A method request with the same OID is passed down.
  UCHAR buffer[32] = {};
  NDIS_OID_REQUEST method = Request(NdisRequestMethod, OID_TCP_OFFLOAD_HARDWARE_CAPABILITIES, buffer, sizeof buffer);
  EXPECT_EQ(adapter_->OidRequestFromStack(method), NDIS_STATUS_PENDING);
  EXPECT_EQ(adapter_->TakeOidRequests().size(), 1u);
  const auto completions = adapter_->TakeStackOidCompletions();
  ASSERT_EQ(completions.size(), 1u);
  EXPECT_EQ(completions[0].status, NDIS_STATUS_SUCCESS);
}

struct SizeCase {
  NDIS_OID oid;
  USHORT answered;
  ULONG mtuDecrement;
  USHORT seenAbove;
  USHORT listedMtu;
};

TEST_F(OidRequestsTest, SizesAnsweredByTheAdapterAreCappedAndLoweredOnTheirWayUp) {
  const SizeCase cases[] = {
      {OID_GEN_MAXIMUM_FRAME_SIZE, 9000, 0, 1500, 1500},
      {OID_GEN_MAXIMUM_FRAME_SIZE, 9000, 8, 1492, 1500},
      {OID_GEN_MAXIMUM_TOTAL_SIZE, 1518, 0, 1514, 1500},
      {OID_GEN_MAXIMUM_TOTAL_SIZE, 1518, 8, 1506, 1500},
  };
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.oid) + " less " + std::to_string(c.mtuDecrement));
    Start(c.mtuDecrement);
    adapter_->SetOidResponder([&](NDIS_OID_REQUEST& request) { return Answer(request, c.answered); });
    USHORT value[2] = {};
    NDIS_OID_REQUEST request = Request(NdisRequestQueryInformation, c.oid, value, sizeof value);
    // Answered at once below, the request still completes to the protocols from
    // the completion handler.
    EXPECT_EQ(adapter_->OidRequestFromStack(request), NDIS_STATUS_PENDING);
    const auto completions = adapter_->TakeStackOidCompletions();
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].request, &request);
    EXPECT_EQ(completions[0].status, NDIS_STATUS_SUCCESS);
    EXPECT_EQ(value[0], c.seenAbove);
    EXPECT_EQ(request.DATA.QUERY_INFORMATION.BytesWritten, 2u);
    EXPECT_EQ(request.DATA.QUERY_INFORMATION.BytesNeeded, 0u);
    EXPECT_EQ(ListedMtu(), c.listedMtu);
    UnloadAndExpectClean();
    host_.RemoveAdapter(*adapter_);
  }
}

TEST_F(OidRequestsTest, TheCurrentAddressAnsweredByTheAdapterIsFollowedByTheAdapterList) {
  Start();
  adapter_->SetOidResponder([](NDIS_OID_REQUEST& request) {
    const UCHAR address[6] = {0x0A, 1, 2, 3, 4, 5};
    std::memcpy(request.DATA.QUERY_INFORMATION.InformationBuffer, address, 6);
    request.DATA.QUERY_INFORMATION.BytesWritten = 6;
    return NDIS_STATUS_SUCCESS;
  });
  UCHAR buffer[6] = {};
  NDIS_OID_REQUEST request = Request(NdisRequestQueryInformation, OID_802_3_CURRENT_ADDRESS, buffer, 6);
  adapter_->OidRequestFromStack(request);
  zl::driver::AdapterList list{};
  zl::driver::FillAdapterList(&list);
  EXPECT_EQ(Bytes(list.Address[0], list.Address[0] + 6), (Bytes{0x0A, 1, 2, 3, 4, 5}));
}

TEST_F(OidRequestsTest, APendingCloneCompletesLaterWithTheAdaptersCountsAndStatus) {
  Start();
  adapter_->HoldOidRequests(true);
  UCHAR buffer[4] = {};
  NDIS_OID_REQUEST set = Request(NdisRequestSetInformation, 0x0001010E, buffer, sizeof buffer);
  EXPECT_EQ(adapter_->OidRequestFromStack(set), NDIS_STATUS_PENDING);
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("FTnd")), 1);
  EXPECT_TRUE(adapter_->TakeStackOidCompletions().empty());
  EXPECT_EQ(ModuleOf(*adapter_)->PendingClonedRequest->RequestId, set.RequestId);

  adapter_->CompleteHeldOidRequestsWith([](NDIS_OID_REQUEST& clone) {
    clone.DATA.SET_INFORMATION.BytesRead = 0;
    clone.DATA.SET_INFORMATION.BytesNeeded = 8;
    return NDIS_STATUS_INVALID_LENGTH;
  });
  const auto completions = adapter_->TakeStackOidCompletions();
  ASSERT_EQ(completions.size(), 1u);
  EXPECT_EQ(completions[0].status, NDIS_STATUS_INVALID_LENGTH);
  EXPECT_EQ(set.DATA.SET_INFORMATION.BytesRead, 0u);
  EXPECT_EQ(set.DATA.SET_INFORMATION.BytesNeeded, 8u);
  EXPECT_EQ(ModuleOf(*adapter_)->PendingClonedRequest, nullptr);
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("FTnd")), 0);
}

TEST_F(OidRequestsTest, AMethodRequestGetsBackAllThreeCounts) {
  Start();
  adapter_->SetOidResponder([](NDIS_OID_REQUEST& clone) {
    clone.DATA.METHOD_INFORMATION.BytesWritten = 3;
    clone.DATA.METHOD_INFORMATION.BytesRead = 4;
    clone.DATA.METHOD_INFORMATION.BytesNeeded = 5;
    return NDIS_STATUS_SUCCESS;
  });
  UCHAR buffer[8] = {};
  NDIS_OID_REQUEST method = Request(NdisRequestMethod, 0x00020101, buffer, sizeof buffer);
  method.DATA.METHOD_INFORMATION.OutputBufferLength = 8;
  adapter_->OidRequestFromStack(method);
  EXPECT_EQ(method.DATA.METHOD_INFORMATION.OutputBufferLength, 8u);
  EXPECT_EQ(method.DATA.METHOD_INFORMATION.BytesWritten, 3u);
  EXPECT_EQ(method.DATA.METHOD_INFORMATION.BytesRead, 4u);
  EXPECT_EQ(method.DATA.METHOD_INFORMATION.BytesNeeded, 5u);
}

TEST_F(OidRequestsTest, ACloneThatCannotBeAllocatedFailsTheRequestWithCountsZeroed) {
  Start();
  host_.Pools().FailAllocationNumber(TagFromText("FTnd"), 1);
  UCHAR buffer[4] = {};
  NDIS_OID_REQUEST request = Request(NdisRequestQueryInformation, 0x00010202, buffer, sizeof buffer);
  EXPECT_EQ(adapter_->OidRequestFromStack(request), NDIS_STATUS_RESOURCES);
  EXPECT_EQ(request.DATA.QUERY_INFORMATION.BytesWritten, 0u);
  EXPECT_EQ(request.DATA.QUERY_INFORMATION.BytesNeeded, 0u);
  EXPECT_TRUE(adapter_->TakeOidRequests().empty());
}

TEST_F(OidRequestsTest, ACancelReachesTheAdapterOnlyForThePendingRequestsIdentifier) {
  Start();
  adapter_->HoldOidRequests(true);
  UCHAR buffer[4] = {};
  NDIS_OID_REQUEST request = Request(NdisRequestQueryInformation, 0x00010202, buffer, sizeof buffer);
  ASSERT_EQ(adapter_->OidRequestFromStack(request), NDIS_STATUS_PENDING);

  adapter_->CancelOidRequestFromStack(reinterpret_cast<PVOID>(std::uintptr_t(0x78)));
  EXPECT_TRUE(adapter_->TakeOidCancelIds().empty());
  EXPECT_TRUE(adapter_->TakeStackOidCompletions().empty());

  adapter_->CancelOidRequestFromStack(request.RequestId);
  EXPECT_EQ(adapter_->TakeOidCancelIds(), std::vector<PVOID>{request.RequestId});
  const auto completions = adapter_->TakeStackOidCompletions();
  ASSERT_EQ(completions.size(), 1u);
  EXPECT_EQ(completions[0].status, NDIS_STATUS_REQUEST_ABORTED);
  EXPECT_EQ(host_.Pools().Outstanding(TagFromText("FTnd")), 0);

  // Nothing pending any more: a second cancel goes nowhere.
  adapter_->CancelOidRequestFromStack(request.RequestId);
  EXPECT_TRUE(adapter_->TakeOidCancelIds().empty());
}

}  // namespace
}  // namespace zl::drivertest
