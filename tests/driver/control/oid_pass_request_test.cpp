// Clients' OID requests: answered at once, pended by the adapter, failed, and
// still pending when the adapter goes away.
#include "tests/driver/control/control_fixture.h"

namespace zl::drivertest {
namespace {

constexpr std::uint32_t kLengthOffset = offsetof(vx::OidPassRequest, Length);

class OidPassRequestTest : public ControlTest {
 protected:
  Result Query(std::uint32_t oid, std::uint32_t dataLength) {
    const Bytes request = OidRequest(handle_, oid, Bytes(dataLength, 0), dataLength);
    return Control(vx::IOCTL_VORLANEX_OID_QUERY, request, std::uint32_t(request.size()));
  }
  // The adapter writes 9000 and reports two bytes written.
  static NDIS_STATUS AnswerNineThousand(NDIS_OID_REQUEST& request) {
    const USHORT value = 9000;
    std::memcpy(request.DATA.QUERY_INFORMATION.InformationBuffer, &value, sizeof value);
    request.DATA.QUERY_INFORMATION.BytesWritten = 2;
    return NDIS_STATUS_SUCCESS;
  }
};

TEST_F(OidPassRequestTest, AQueryAnsweredAtOnceReturnsTheDataAndKeepsTheLengthField) {
  adapter_->SetOidResponder(AnswerNineThousand);
  const auto result = Query(0x00010202, 8);
  ASSERT_TRUE(result.completed);
  EXPECT_EQ(result.status, STATUS_SUCCESS);
  EXPECT_EQ(result.information, 24u);
  EXPECT_EQ(ValueAt<std::uint32_t>(result.buffer, kLengthOffset), 8u);
  EXPECT_EQ(ValueAt<USHORT>(result.buffer, 16), 9000);
  const auto seen = adapter_->TakeOidRequests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].type, NdisRequestQueryInformation);
  EXPECT_EQ(seen[0].oid, 0x00010202u);
}

TEST_F(OidPassRequestTest, ASetCarriesTheClientsDataDown) {
  const Bytes request = OidRequest(handle_, 0x0001010E, {1, 2, 3, 4}, 4);
  const auto result = Control(vx::IOCTL_VORLANEX_OID_SET, request, std::uint32_t(request.size()));
  EXPECT_EQ(result.status, STATUS_SUCCESS);
  const auto seen = adapter_->TakeOidRequests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].type, NdisRequestSetInformation);
  EXPECT_EQ(seen[0].data, (Bytes{1, 2, 3, 4}));
}

TEST_F(OidPassRequestTest, AFailureAtOnceCompletesWithTheAdaptersStatusAndNoBytes) {
  adapter_->SetOidResponder([](NDIS_OID_REQUEST&) { return NDIS_STATUS_NOT_SUPPORTED; });
  const auto result = Query(0x00010202, 4);
  EXPECT_EQ(result.status, NDIS_STATUS_NOT_SUPPORTED);
  EXPECT_EQ(result.information, 0u);
}

TEST_F(OidPassRequestTest, APendedQueryCompletesLaterWithTheBytesWrittenInTheLengthField) {
  adapter_->HoldOidRequests(true);
  const auto pending = Query(OID_GEN_MAXIMUM_FRAME_SIZE, 8);
  ASSERT_TRUE(pending.pending);
  EXPECT_EQ(pending.returned, STATUS_PENDING);
  EXPECT_FALSE(host_.CompletedRequest(pending.id).has_value());

  ASSERT_EQ(adapter_->CompleteHeldOidRequestsWith(AnswerNineThousand), 1u);
  const auto result = host_.CompletedRequest(pending.id);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->status, STATUS_SUCCESS);
  EXPECT_EQ(result->information, 24u);
  EXPECT_EQ(ValueAt<std::uint32_t>(result->buffer, kLengthOffset), 2u);
  // A completed own request passes the same adjustment as the protocols' requests.
  EXPECT_EQ(ValueAt<USHORT>(result->buffer, 16), 1500);
}

TEST_F(OidPassRequestTest, APendedFailureCarriesTheStatusInTheLengthField) {
  adapter_->HoldOidRequests(true);
  const auto pending = Query(0x00010202, 4);
  ASSERT_TRUE(pending.pending);
  adapter_->CompleteHeldOidRequests(NDIS_STATUS_FAILURE);
  const auto result = host_.CompletedRequest(pending.id);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->status, NDIS_STATUS_FAILURE);
  EXPECT_EQ(result->information, 20u);
  EXPECT_EQ(ValueAt<std::uint32_t>(result->buffer, kLengthOffset), std::uint32_t(NDIS_STATUS_FAILURE));
}

TEST_F(OidPassRequestTest, NoMemoryForTheOwnRequestFailsWithInvalidParameter) {
  host_.Pools().FailAllocationNumber(zl::ndishost::TagFromText("NdRd"), 1);
  const auto result = Query(0x00010202, 4);
  EXPECT_EQ(result.status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(result.information, 0u);
  EXPECT_TRUE(adapter_->TakeOidRequests().empty());
}

// The adapter will never answer a request still held when it detaches; the
// client's request completes instead of waiting for ever.
TEST_F(OidPassRequestTest, AClientRequestStillPendingAtDetachCompletesAborted) {
  adapter_->HoldOidRequests(true);
  const auto pending = Query(0x00010202, 4);
  ASSERT_TRUE(pending.pending);
  host_.RemoveAdapter(*adapter_);
  const auto result = host_.CompletedRequest(pending.id);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->status, NDIS_STATUS_REQUEST_ABORTED);
  EXPECT_EQ(ValueAt<std::uint32_t>(result->buffer, kLengthOffset), std::uint32_t(NDIS_STATUS_REQUEST_ABORTED));
  EXPECT_EQ(host_.PendingDeviceRequests(), 0u);
}

}  // namespace
}  // namespace zl::drivertest
