// OID requests the driver issues itself: the offload switch at restart and the
// requests clients ask for through the control device.
#pragma once

#include <ndis.h>

#include "driver/control/vorlanex_interface.h"
#include "driver/modules/filter_module.h"

namespace zl::driver {

using zl::vorlanex::IOCTL_VORLANEX_OID_QUERY;
using zl::vorlanex::IOCTL_VORLANEX_OID_SET;
constexpr ULONG OWN_OID_REQUEST_ID = 0x52544C46;

struct OwnOidRequest {
  LIST_ENTRY Link;  // position in the module's own OID request list
  NDIS_OID_REQUEST Request;
  UCHAR OwnMarker;
  PIRP ClientRequest;  // the control request that asked for it, or none
};

// Sends an OID request of the driver's own down to the adapter. Answers
// NDIS_STATUS_PENDING when the completion handler will finish it, otherwise the
// final status (STATUS_INVALID_PARAMETER when no request could be allocated).
NDIS_STATUS IssueOwnOidRequest(FilterModule* module, PIRP clientRequest, NDIS_REQUEST_TYPE type, NDIS_OID oid,
                               PVOID buffer, ULONG length, ULONG outputLength);
// Unlinks and frees an own request; completes the client's control request with it.
void CompleteOwnOidRequest(FilterModule* module, OwnOidRequest* request, NDIS_STATUS status);
// The changes the driver makes to successful results passing through it.
void AdjustOidResult(FilterModule* module, PNDIS_OID_REQUEST request);
// Frees the own requests still listed when the module goes away; a client's
// request among them completes with NDIS_STATUS_REQUEST_ABORTED.
void ReleaseOwnOidRequests(FilterModule* module);

// Takes MTUDecrement off a reported size without letting it wrap around or fall
// below the given floor; a size already at or below the floor stays as it is.
ULONG LowerReportedSize(ULONG size, ULONG floor);
constexpr ULONG MIN_LOWERED_MTU = 576;        // the smallest MTU IPv4 allows
constexpr ULONG MIN_LOWERED_TOTAL_SIZE = 590;  // that MTU with its Ethernet header

}  // namespace zl::driver
