#include <gtest/gtest.h>
#include <ndis.h>

#include <cstring>
#include <string>
#include <vector>

#include "shared/support/clock.h"
#include "zl/ndishost/kernel_host.h"
#include "zl/ndishost/requester.h"

namespace zl::ndishost {
namespace {

class RequesterTest : public ::testing::Test {
 protected:
  zl::VirtualClock clock_;
  KernelHost host_{clock_};
  CallerProcess caller_;
};

TEST_F(RequesterTest, CallerMemoryIsCopiedBothWaysAndBadRangesFailInsteadOfFaulting) {
  RequesterScope scope(&caller_);
  std::uint8_t source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::uint8_t copy[8] = {};
  EXPECT_EQ(CopyFromCallerMemory(copy, CallerProcess::AddressOf(source), sizeof source), STATUS_SUCCESS);
  EXPECT_EQ(std::memcmp(copy, source, 8), 0);
  const std::uint8_t update[2] = {9, 9};
  EXPECT_EQ(CopyToCallerMemory(CallerProcess::AddressOf(source + 6), update, 2), STATUS_SUCCESS);
  EXPECT_EQ(source[7], 9);

  // The first page is never mapped; a range running off the end of the address space neither.
  EXPECT_EQ(CopyFromCallerMemory(copy, 0x10, 4), STATUS_ACCESS_VIOLATION);
  EXPECT_EQ(CopyToCallerMemory(0x10, update, 2), STATUS_ACCESS_VIOLATION);
  EXPECT_EQ(CopyFromCallerMemory(copy, ~0ull - 2, 4), STATUS_ACCESS_VIOLATION);

  // A chosen range faults for every access that touches it, and only for those.
  caller_.FaultRange(source + 4, 1);
  EXPECT_EQ(CopyFromCallerMemory(copy, CallerProcess::AddressOf(source), 5), STATUS_ACCESS_VIOLATION);
  EXPECT_EQ(CopyToCallerMemory(CallerProcess::AddressOf(source + 4), update, 1), STATUS_ACCESS_VIOLATION);
  EXPECT_EQ(CopyFromCallerMemory(copy, CallerProcess::AddressOf(source), 4), STATUS_SUCCESS);
  EXPECT_EQ(CopyFromCallerMemory(copy, CallerProcess::AddressOf(source + 5), 3), STATUS_SUCCESS);
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{});
}

TEST_F(RequesterTest, TheHookRunsAfterEachReadAndAccessesAreRecorded) {
  RequesterScope scope(&caller_);
  std::uint32_t value = 1;
  caller_.SetAfterReadHook([&](std::uint64_t, std::size_t) { value = 2; });
  std::uint32_t copy = 0;
  CopyFromCallerMemory(&copy, CallerProcess::AddressOf(&value), sizeof value);
  EXPECT_EQ(copy, 1u);
  EXPECT_EQ(value, 2u);
  CopyToCallerMemory(CallerProcess::AddressOf(&value), &copy, sizeof copy);
  const auto accesses = caller_.Accesses();
  ASSERT_EQ(accesses.size(), 2u);
  EXPECT_FALSE(accesses[0].write);
  EXPECT_TRUE(accesses[1].write);
  EXPECT_EQ(accesses[1].length, 4u);
}

TEST_F(RequesterTest, EventHandlesResolveToReferencedEventsOfTheRequester) {
  PKEVENT event = host_.CreateEvent();
  const std::uint64_t handle = caller_.OpenHandle(event);
  RequesterScope scope(&caller_);
  PVOID object = nullptr;
  EXPECT_EQ(ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(handle), SYNCHRONIZE, *ExEventObjectType, UserMode,
                                      &object, nullptr),
            STATUS_SUCCESS);
  EXPECT_EQ(object, event);
  EXPECT_EQ(host_.EventReferences(event), 2);
  ObDereferenceObject(object);

  EXPECT_EQ(ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(handle + 4), SYNCHRONIZE, *ExEventObjectType, UserMode,
                                      &object, nullptr),
            STATUS_INVALID_HANDLE);
  int otherType = 0;
  EXPECT_EQ(ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(handle), SYNCHRONIZE,
                                      reinterpret_cast<POBJECT_TYPE>(&otherType), UserMode, &object, nullptr),
            STATUS_OBJECT_TYPE_MISMATCH);
  caller_.CloseHandle(handle);
  EXPECT_EQ(ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(handle), SYNCHRONIZE, *ExEventObjectType, UserMode,
                                      &object, nullptr),
            STATUS_INVALID_HANDLE);
  EXPECT_EQ(host_.EventReferences(event), 1);
}

TEST_F(RequesterTest, CallerMemoryAndHandlesOutsideARequestAreReported) {
  std::uint32_t value = 0;
  EXPECT_EQ(CopyFromCallerMemory(&value, CallerProcess::AddressOf(&value), 4), STATUS_ACCESS_VIOLATION);
  PVOID object = nullptr;
  EXPECT_EQ(ObReferenceObjectByHandle(reinterpret_cast<HANDLE>(std::uintptr_t(0x40)), SYNCHRONIZE, *ExEventObjectType,
                                      UserMode, &object, nullptr),
            STATUS_INVALID_HANDLE);
  EXPECT_EQ(host_.Violations().size(), 2u);
}

TEST_F(RequesterTest, ClonedOidRequestsAreAccountedUnderTheirTagWithEmptyReservedSlots) {
  const ULONG tag = TagFromText("FTnd");
  NDIS_OID_REQUEST original = {};
  original.RequestType = NdisRequestQueryInformation;
  original.DATA.QUERY_INFORMATION.Oid = 0x00010106;
  std::memset(original.SourceReserved, 0xAA, sizeof original.SourceReserved);
  PNDIS_OID_REQUEST clone = nullptr;
  ASSERT_EQ(NdisAllocateCloneOidRequest(nullptr, &original, tag, &clone), NDIS_STATUS_SUCCESS);
  EXPECT_EQ(clone->DATA.QUERY_INFORMATION.Oid, 0x00010106u);
  EXPECT_EQ(clone->SourceReserved[0], 0);
  EXPECT_EQ(host_.Pools().Outstanding(tag), 1);
  NdisFreeCloneOidRequest(nullptr, clone);
  EXPECT_EQ(host_.Pools().Outstanding(tag), 0);
  host_.Pools().FailAllocationNumber(tag, 1);
  EXPECT_EQ(NdisAllocateCloneOidRequest(nullptr, &original, tag, &clone), NDIS_STATUS_RESOURCES);
}

}  // namespace
}  // namespace zl::ndishost
