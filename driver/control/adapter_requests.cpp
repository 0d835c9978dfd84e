#include "driver/control/control_operations.h"
#include "driver/control/vorlanex_interface.h"
#include "driver/datapath/packet_queue.h"
#include "driver/modules/ras_link.h"

namespace zl::driver {
namespace {

constexpr ULONG ADAPTER_REQUEST_SIZE = sizeof(zl::vorlanex::AdapterRequest);
constexpr ULONG MODE_REQUEST_SIZE = sizeof(zl::vorlanex::AdapterModeRequest);
constexpr ULONG EVENT_REQUEST_SIZE = sizeof(zl::vorlanex::AdapterEventRequest);
constexpr ULONG MODE_FLAGS_OFFSET = offsetof(zl::vorlanex::AdapterModeRequest, Flags);
constexpr ULONG EVENT_OFFSET = offsetof(zl::vorlanex::AdapterEventRequest, Event);

}  // namespace

NTSTATUS GetDriverVersion(const ControlRequest& request, ULONG* bytes) {
  if (request.OutputLength < sizeof(ULONG)) return STATUS_INVALID_PARAMETER;
  WriteBufferU32(request, 0, zl::vorlanex::VORLANEX_DRIVER_VERSION);
  *bytes = sizeof(ULONG);
  return STATUS_SUCCESS;
}

NTSTATUS GetAdapterList(const ControlRequest& request, ULONG* bytes) {
  if (request.OutputLength < sizeof(AdapterList)) return STATUS_INVALID_PARAMETER;
  FillAdapterList(request.Buffer);
  *bytes = sizeof(AdapterList);
  return STATUS_SUCCESS;
}

NTSTATUS SetAdapterMode(const ControlRequest& request, ULONG* bytes) {
  RequestAdapter adapter(request, MODE_REQUEST_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  // Every bit is taken as it comes; the next frame follows the new flags.
  SetModeFlags(&adapter.Module()->Queue, BufferU32(request, MODE_FLAGS_OFFSET));
  *bytes = 0;
  return STATUS_SUCCESS;
}

NTSTATUS GetAdapterMode(const ControlRequest& request, ULONG* bytes) {
  RequestAdapter adapter(request, MODE_REQUEST_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  WriteBufferU32(request, MODE_FLAGS_OFFSET, ReadModeFlags(&adapter.Module()->Queue));
  *bytes = MODE_REQUEST_SIZE;
  return STATUS_SUCCESS;
}

NTSTATUS FlushAdapterQueue(const ControlRequest& request, ULONG* bytes) {
  RequestAdapter adapter(request, ADAPTER_REQUEST_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  FlushPacketQueue(&adapter.Module()->Queue);
  *bytes = 0;
  return STATUS_SUCCESS;
}

NTSTATUS GetAdapterQueueSize(const ControlRequest& request, ULONG* bytes) {
  RequestAdapter adapter(request, ADAPTER_REQUEST_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  WriteBufferU32(request, 0, QueuedRecordCount(&adapter.Module()->Queue));
  *bytes = sizeof(ULONG);
  return STATUS_SUCCESS;
}

NTSTATUS SetPacketEvent(const ControlRequest& request, ULONG* bytes) {
  RequestAdapter adapter(request, EVENT_REQUEST_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  const ULONG64 handle = BufferU64(request, EVENT_OFFSET);
  PKEVENT event = nullptr;
  if (handle != 0 && !NT_SUCCESS(ReferenceClientEvent(handle, &event))) {
    // A handle that names no event leaves the adapter without one.
    ReplacePacketEvent(&adapter.Module()->Queue, nullptr);
    return STATUS_INVALID_PARAMETER;
  }
  ReplacePacketEvent(&adapter.Module()->Queue, event);
  *bytes = 0;
  return STATUS_SUCCESS;
}

NTSTATUS GetRasLinks(const ControlRequest& request, ULONG* bytes) {
  if (request.OutputLength < sizeof(RasLinkList)) return STATUS_INVALID_PARAMETER;
  RequestAdapter adapter(request, ADAPTER_REQUEST_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  CopyRasLinks(adapter.Module(), reinterpret_cast<RasLinkList*>(request.Buffer));
  *bytes = sizeof(RasLinkList);
  return STATUS_SUCCESS;
}

}  // namespace zl::driver
