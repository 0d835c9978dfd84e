// The exports of "VorlanexApi.dll", the client library of the vorlanex
// driver, with C linkage and the signatures of
// service/driverclient/packet_driver_api.h. A driver handle is what
// OpenFilterDriver returned; INVALID_HANDLE_VALUE (all bits set) when the
// control device could not be opened. Operations on an unknown or closed
// handle fail.
#pragma once

#include "driver/control/vorlanex_interface.h"
#include "service/driverclient/packet_driver_records.h"
#include "service/driverclient/packet_driver_types.h"

#if defined(_WIN32)
#define VORLANEX_EXPORT __declspec(dllexport)
#else
#define VORLANEX_EXPORT __attribute__((visibility("default")))
#endif

namespace zl::vorlanexapi {
using driverclient::AdapterList;
using driverclient::AdapterModeRequest;
using driverclient::BOOL;
using driverclient::DWORD;
using driverclient::HANDLE;
using driverclient::MultiPacketRequest;
using driverclient::OidPassRequest;
using driverclient::PacketRequest;
}  // namespace zl::vorlanexapi

extern "C" {
using namespace zl::vorlanexapi;  // NOLINT: the exports spell the Windows type names

// Opens the control device ("\\.\" + driverName).
VORLANEX_EXPORT HANDLE VORLANEX_CALL OpenFilterDriver(const char* driverName);
VORLANEX_EXPORT void VORLANEX_CALL CloseFilterDriver(HANDLE driver);
// 0 when the driver does not answer.
VORLANEX_EXPORT DWORD VORLANEX_CALL GetDriverVersion(HANDLE driver);
VORLANEX_EXPORT BOOL VORLANEX_CALL GetTcpipBoundAdaptersInfo(HANDLE driver, AdapterList* adapters);
VORLANEX_EXPORT BOOL VORLANEX_CALL SendPacketToMstcp(HANDLE driver, PacketRequest* request);
VORLANEX_EXPORT BOOL VORLANEX_CALL SendPacketToAdapter(HANDLE driver, PacketRequest* request);
VORLANEX_EXPORT BOOL VORLANEX_CALL ReadPacket(HANDLE driver, PacketRequest* request);
VORLANEX_EXPORT BOOL VORLANEX_CALL SendPacketsToMstcp(HANDLE driver, MultiPacketRequest* request);
VORLANEX_EXPORT BOOL VORLANEX_CALL SendPacketsToAdapter(HANDLE driver, MultiPacketRequest* request);
VORLANEX_EXPORT BOOL VORLANEX_CALL ReadPackets(HANDLE driver, MultiPacketRequest* request);
VORLANEX_EXPORT BOOL VORLANEX_CALL SetAdapterMode(HANDLE driver, AdapterModeRequest* request);
VORLANEX_EXPORT BOOL VORLANEX_CALL GetAdapterMode(HANDLE driver, AdapterModeRequest* request);
VORLANEX_EXPORT BOOL VORLANEX_CALL FlushAdapterPacketQueue(HANDLE driver, HANDLE adapter);
VORLANEX_EXPORT BOOL VORLANEX_CALL GetAdapterPacketQueueSize(HANDLE driver, HANDLE adapter, DWORD* size);
VORLANEX_EXPORT BOOL VORLANEX_CALL SetPacketEvent(HANDLE driver, HANDLE adapter, HANDLE event);
VORLANEX_EXPORT BOOL VORLANEX_CALL SetWANEvent(HANDLE driver, HANDLE event);
VORLANEX_EXPORT BOOL VORLANEX_CALL SetAdapterListChangeEvent(HANDLE driver, HANDLE event);
VORLANEX_EXPORT BOOL VORLANEX_CALL VorlanexRequest(HANDLE driver, OidPassRequest* request, BOOL set);
VORLANEX_EXPORT BOOL VORLANEX_CALL GetRasLinks(HANDLE driver, HANDLE adapter, zl::vorlanex::RasLinkList* links);
// The adapter's hardware packet filter (OID_GEN_CURRENT_PACKET_FILTER).
VORLANEX_EXPORT BOOL VORLANEX_CALL SetHwPacketFilter(HANDLE driver, HANDLE adapter, DWORD filter);
VORLANEX_EXPORT BOOL VORLANEX_CALL GetHwPacketFilter(HANDLE driver, HANDLE adapter, DWORD* filter);
// The driver's start parameters; effective at the driver's next start.
VORLANEX_EXPORT BOOL VORLANEX_CALL SetMTUDecrement(DWORD decrement);
VORLANEX_EXPORT DWORD VORLANEX_CALL GetMTUDecrement();
VORLANEX_EXPORT BOOL VORLANEX_CALL SetAdaptersStartupMode(DWORD mode);
VORLANEX_EXPORT DWORD VORLANEX_CALL GetAdaptersStartupMode();
// The driver answered a request through this handle.
VORLANEX_EXPORT BOOL VORLANEX_CALL IsDriverLoaded(HANDLE driver);
// The bytes the driver reported for the handle's last request (0 after a failure).
VORLANEX_EXPORT DWORD VORLANEX_CALL GetBytesReturned(HANDLE driver);
VORLANEX_EXPORT BOOL VORLANEX_CALL SetPacketFilterTable(HANDLE driver, void* table);
VORLANEX_EXPORT BOOL VORLANEX_CALL GetPacketFilterTable(HANDLE driver, void* table);
VORLANEX_EXPORT BOOL VORLANEX_CALL GetPacketFilterTableResetStats(HANDLE driver, void* table);
VORLANEX_EXPORT BOOL VORLANEX_CALL ResetPacketFilterTable(HANDLE driver);
VORLANEX_EXPORT BOOL VORLANEX_CALL GetPacketFilterTableSize(HANDLE driver, DWORD* rules);
VORLANEX_EXPORT BOOL VORLANEX_CALL ConvertWindowsNTAdapterName(const char* adapterName, char* userName, DWORD userNameSize);
VORLANEX_EXPORT BOOL VORLANEX_CALL ConvertWindows2000AdapterName(const char* adapterName, char* userName,
                                                                 DWORD userNameSize);
VORLANEX_EXPORT BOOL VORLANEX_CALL ConvertWindows9xAdapterName(const char* adapterName, char* userName, DWORD userNameSize);
}
