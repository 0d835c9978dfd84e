#include "driver/control/control_operations.h"
#include "driver/control/vorlanex_interface.h"
#include "driver/modules/own_oid_request.h"

namespace zl::driver {
namespace {

constexpr ULONG HEADER_SIZE = zl::vorlanex::OID_PASS_REQUEST_HEADER_SIZE;
constexpr ULONG OID_OFFSET = offsetof(zl::vorlanex::OidPassRequest, Oid);
constexpr ULONG LENGTH_OFFSET = offsetof(zl::vorlanex::OidPassRequest, Length);

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// The data area must lie inside the request, which comes back whole.
bool LengthsAcceptable(const ControlRequest& request) {
  if (request.OutputLength != request.InputLength || request.InputLength < HEADER_SIZE + 1) return false;
  return ULONG64(request.InputLength) >= ULONG64(HEADER_SIZE) + BufferU32(request, LENGTH_OFFSET);
}

}  // namespace

NTSTATUS PassOidRequest(const ControlRequest& request) {
  RequestAdapter adapter(request, sizeof(ULONG64));
  if (!adapter || !LengthsAcceptable(request)) return Complete(request.Irp, STATUS_INVALID_PARAMETER, 0);

  // Marked before the request goes down: the adapter may complete it on another
  // processor before this routine returns.
  IoMarkIrpPending(request.Irp);
  const NDIS_REQUEST_TYPE type =
      request.Code == IOCTL_VORLANEX_OID_SET ? NdisRequestSetInformation : NdisRequestQueryInformation;
  const NDIS_STATUS status =
      IssueOwnOidRequest(adapter.Module(), request.Irp, type, BufferU32(request, OID_OFFSET),
                         request.Buffer + HEADER_SIZE, BufferU32(request, LENGTH_OFFSET), 0);
  if (status == NDIS_STATUS_SUCCESS) {
    // The data area holds what the adapter wrote; the length field stays as sent.
    Complete(request.Irp, STATUS_SUCCESS, request.InputLength);
  } else if (status != NDIS_STATUS_PENDING) {
    Complete(request.Irp, status, 0);
  }
  return STATUS_PENDING;
}

}  // namespace zl::driver
