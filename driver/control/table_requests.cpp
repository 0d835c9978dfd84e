#include "driver/control/control_operations.h"
#include "driver/filtertable/filter_table.h"

namespace zl::driver {
namespace {

// The whole output is reported, so whatever the table does not fill is zeroed
// first: the system buffer must not carry stale kernel memory to the caller.
NTSTATUS CopyTableOut(const ControlRequest& request, ULONG* bytes, bool resetCounters) {
  if (request.OutputLength != 0) RtlZeroMemory(request.Buffer, request.OutputLength);
  if (!NT_SUCCESS(ReadFilterTable(request.Buffer, request.OutputLength, resetCounters))) {
    return STATUS_INVALID_PARAMETER;
  }
  *bytes = request.OutputLength;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS SetFilterTable(const ControlRequest& request, ULONG* bytes) {
  if (!NT_SUCCESS(InstallFilterTable(request.Buffer, request.InputLength))) return STATUS_INVALID_PARAMETER;
  *bytes = 0;
  return STATUS_SUCCESS;
}

NTSTATUS ResetFilterTable(const ControlRequest&, ULONG* bytes) {
  RemoveFilterTable();
  *bytes = 0;
  return STATUS_SUCCESS;
}

NTSTATUS GetFilterTableSize(const ControlRequest& request, ULONG* bytes) {
  if (request.OutputLength < sizeof(ULONG)) return STATUS_INVALID_PARAMETER;
  WriteBufferU32(request, 0, InstalledRuleCount());
  *bytes = sizeof(ULONG);
  return STATUS_SUCCESS;
}

NTSTATUS GetFilterTable(const ControlRequest& request, ULONG* bytes) { return CopyTableOut(request, bytes, false); }

NTSTATUS GetFilterTableResetStats(const ControlRequest& request, ULONG* bytes) {
  return CopyTableOut(request, bytes, true);
}

}  // namespace zl::driver
