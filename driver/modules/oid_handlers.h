// The NDIS handlers through which OID requests pass a filter module, and its
// status handler.
#pragma once

#include <ndis.h>

namespace zl::driver {

// The protocols' requests: TCP offload queries and sets are refused, every other
// request goes down as a clone and completes to the protocols from the
// completion handler.
FILTER_OID_REQUEST FilterOidRequest;
// Completes a clone to the protocols, or one of the driver's own requests.
FILTER_OID_REQUEST_COMPLETE FilterOidRequestComplete;
FILTER_CANCEL_OID_REQUEST FilterCancelOidRequest;
// Passes every indication up; notes WAN and wireless-WAN link changes.
FILTER_STATUS FilterStatus;

}  // namespace zl::driver
