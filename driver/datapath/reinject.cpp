#include "driver/datapath/reinject.h"

#include "driver/datapath/frame_copy.h"

namespace zl::driver {

// Each routine counts itself as outstanding before it looks at the state, so
// that pause, which sets Paused and then waits for the counters to drain, can
// never return while a list is about to go out.

bool SendRecord(FilterModule* module, const PacketRecord* record) {
  const ULONG length = record->Length;
  if (length == 0 || length > MAX_FRAME_SIZE) return false;
  InterlockedIncrement(&module->OutstandingSends);
  if (!ModuleIsRunning(module)) {
    InterlockedDecrement(&module->OutstandingSends);
    return false;
  }
  PNET_BUFFER_LIST list = BuildFrameNbl(module, record, length);
  if (list == nullptr) {
    InterlockedDecrement(&module->OutstandingSends);
    return false;
  }
  NET_BUFFER_LIST_INFO(list, Ieee8021QNetBufferListInfo) = reinterpret_cast<PVOID>(ULONG_PTR(record->Ieee8021Q));
  // The send completion frees the list and lowers the count.
  NdisFSendNetBufferLists(module->FilterHandle, list, NDIS_DEFAULT_PORT_NUMBER, 0);
  return true;
}

bool IndicateRecord(FilterModule* module, const PacketRecord* record) {
  const ULONG length = record->Length;
  if (length > MAX_FRAME_SIZE) return false;
  InterlockedIncrement(&module->OutstandingIndications);
  if (!ModuleIsRunning(module)) {
    InterlockedDecrement(&module->OutstandingIndications);
    return false;
  }
  PNET_BUFFER_LIST list = BuildFrameNbl(module, record, length);
  if (list == nullptr) {
    InterlockedDecrement(&module->OutstandingIndications);
    return false;
  }
  NET_BUFFER_LIST_STATUS(list) = NDIS_STATUS_SUCCESS;
  NET_BUFFER_LIST_INFO(list, Ieee8021QNetBufferListInfo) = reinterpret_cast<PVOID>(ULONG_PTR(record->Ieee8021Q));
  NdisFIndicateReceiveNetBufferLists(module->FilterHandle, list, NDIS_DEFAULT_PORT_NUMBER, 1,
                                     NDIS_RECEIVE_FLAGS_RESOURCES);
  // With the resources flag the list is back as soon as the call returns.
  NdisFreeNetBufferList(list);
  InterlockedDecrement(&module->OutstandingIndications);
  return true;
}

}  // namespace zl::driver
