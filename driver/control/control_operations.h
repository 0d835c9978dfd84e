// The operations of the control requests. Each checks its request's lengths and
// adapter, does its work and answers STATUS_SUCCESS with the bytes to report
// (before they are capped at the output length), or a failure; the control
// handler completes the request.
#pragma once

#include <ndis.h>

#include "driver/control/control_request.h"

namespace zl::driver {

using ControlOperation = NTSTATUS (*)(const ControlRequest& request, ULONG* bytes);

// Adapters: version, list, modes, queues, packet events, WAN links.
NTSTATUS GetDriverVersion(const ControlRequest& request, ULONG* bytes);
NTSTATUS GetAdapterList(const ControlRequest& request, ULONG* bytes);
NTSTATUS SetAdapterMode(const ControlRequest& request, ULONG* bytes);
NTSTATUS GetAdapterMode(const ControlRequest& request, ULONG* bytes);
NTSTATUS FlushAdapterQueue(const ControlRequest& request, ULONG* bytes);
NTSTATUS GetAdapterQueueSize(const ControlRequest& request, ULONG* bytes);
NTSTATUS SetPacketEvent(const ControlRequest& request, ULONG* bytes);
NTSTATUS GetRasLinks(const ControlRequest& request, ULONG* bytes);

// Records: re-injection and reads, one or several per request.
NTSTATUS SendPacketToAdapter(const ControlRequest& request, ULONG* bytes);
NTSTATUS SendPacketToProtocols(const ControlRequest& request, ULONG* bytes);
NTSTATUS ReadPacket(const ControlRequest& request, ULONG* bytes);
NTSTATUS SendPacketsToAdapter(const ControlRequest& request, ULONG* bytes);
NTSTATUS SendPacketsToProtocols(const ControlRequest& request, ULONG* bytes);
NTSTATUS ReadPackets(const ControlRequest& request, ULONG* bytes);

// The driver-wide events.
NTSTATUS SetWanEvent(const ControlRequest& request, ULONG* bytes);
NTSTATUS SetAdapterListChangeEvent(const ControlRequest& request, ULONG* bytes);

// The static filter table.
NTSTATUS SetFilterTable(const ControlRequest& request, ULONG* bytes);
NTSTATUS ResetFilterTable(const ControlRequest& request, ULONG* bytes);
NTSTATUS GetFilterTableSize(const ControlRequest& request, ULONG* bytes);
NTSTATUS GetFilterTable(const ControlRequest& request, ULONG* bytes);
NTSTATUS GetFilterTableResetStats(const ControlRequest& request, ULONG* bytes);

// The two OID requests complete the client's request themselves, at once or when
// the adapter has answered; the result is what the dispatch routine returns.
NTSTATUS PassOidRequest(const ControlRequest& request);

}  // namespace zl::driver
