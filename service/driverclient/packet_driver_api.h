// The service's binding of the packet-driver client library "VorlanexApi.dll":
// the signatures of its 35 exports, the table they are resolved into (in the
// library's export order), and loading and unloading the library.
// The records and Windows types are those of the library's own header, in
// the service's pointer width.
#pragma once

#include <stdexcept>

#include "vorlanexapi/vorlanex_api.h"

namespace zl::driverclient {

using vorlanexapi::BOOL;
using vorlanexapi::DWORD;
using vorlanexapi::HANDLE;

using vorlanexapi::AdapterList;
using vorlanexapi::AdapterModeRequest;
using vorlanexapi::MultiPacketRequest;
using vorlanexapi::OidPassRequest;
using vorlanexapi::PacketRecord;
using vorlanexapi::PacketRequest;
using vorlanexapi::RasLinkList;

using vorlanexapi::DIRECTION_INBOUND;
using vorlanexapi::DIRECTION_OUTBOUND;
using vorlanexapi::kAdapterNameSize;
using vorlanexapi::kMaxAdapters;
using vorlanexapi::kMaxFrameSize;
using vorlanexapi::MODE_DIVERT_INBOUND;
using vorlanexapi::MODE_DIVERT_OUTBOUND;

extern "C" {
using OpenFilterDriverProc = HANDLE(VORLANEX_CALL*)(const char* driverName);
using CloseFilterDriverProc = void(VORLANEX_CALL*)(HANDLE driver);
using GetDriverVersionProc = DWORD(VORLANEX_CALL*)(HANDLE driver);
using GetTcpipBoundAdaptersInfoProc = BOOL(VORLANEX_CALL*)(HANDLE driver, AdapterList* adapters);
using SendPacketProc = BOOL(VORLANEX_CALL*)(HANDLE driver, PacketRequest* request);
using SendPacketsProc = BOOL(VORLANEX_CALL*)(HANDLE driver, MultiPacketRequest* request);
using ReadPacketsProc = BOOL(VORLANEX_CALL*)(HANDLE driver, MultiPacketRequest* request);
using AdapterModeProc = BOOL(VORLANEX_CALL*)(HANDLE driver, AdapterModeRequest* request);
using FlushAdapterPacketQueueProc = BOOL(VORLANEX_CALL*)(HANDLE driver, HANDLE adapter);
using GetAdapterPacketQueueSizeProc = BOOL(VORLANEX_CALL*)(HANDLE driver, HANDLE adapter, DWORD* size);
using SetPacketEventProc = BOOL(VORLANEX_CALL*)(HANDLE driver, HANDLE adapter, HANDLE event);
using SetDriverEventProc = BOOL(VORLANEX_CALL*)(HANDLE driver, HANDLE event);
using VorlanexRequestProc = BOOL(VORLANEX_CALL*)(HANDLE driver, OidPassRequest* request, BOOL set);
using GetRasLinksProc = BOOL(VORLANEX_CALL*)(HANDLE driver, HANDLE adapter, RasLinkList* links);
using SetHwPacketFilterProc = BOOL(VORLANEX_CALL*)(HANDLE driver, HANDLE adapter, DWORD filter);
using GetHwPacketFilterProc = BOOL(VORLANEX_CALL*)(HANDLE driver, HANDLE adapter, DWORD* filter);
using SetParameterProc = BOOL(VORLANEX_CALL*)(DWORD value);
using GetParameterProc = DWORD(VORLANEX_CALL*)();
using IsDriverLoadedProc = BOOL(VORLANEX_CALL*)(HANDLE driver);
using GetBytesReturnedProc = DWORD(VORLANEX_CALL*)(HANDLE driver);
// A table is a DWORD count followed by the rules (vorlanex::FilterRule). On
// reads, the count the caller sets is the number of rules its buffer holds.
using FilterTableProc = BOOL(VORLANEX_CALL*)(HANDLE driver, void* table);
using ResetPacketFilterTableProc = BOOL(VORLANEX_CALL*)(HANDLE driver);
using GetPacketFilterTableSizeProc = BOOL(VORLANEX_CALL*)(HANDLE driver, DWORD* rules);
using ConvertAdapterNameProc = BOOL(VORLANEX_CALL*)(const char* adapterName, char* userName, DWORD userNameSize);
}

// One entry per export, in the library's export order.
struct PacketDriverApi {
  OpenFilterDriverProc OpenFilterDriver;
  CloseFilterDriverProc CloseFilterDriver;
  GetDriverVersionProc GetDriverVersion;
  GetTcpipBoundAdaptersInfoProc GetTcpipBoundAdaptersInfo;
  SendPacketProc SendPacketToMstcp;
  SendPacketProc SendPacketToAdapter;
  SendPacketProc ReadPacket;
  SendPacketsProc SendPacketsToMstcp;
  SendPacketsProc SendPacketsToAdapter;
  ReadPacketsProc ReadPackets;
  AdapterModeProc SetAdapterMode;
  AdapterModeProc GetAdapterMode;
  FlushAdapterPacketQueueProc FlushAdapterPacketQueue;
  GetAdapterPacketQueueSizeProc GetAdapterPacketQueueSize;
  SetPacketEventProc SetPacketEvent;
  SetDriverEventProc SetWANEvent;
  SetDriverEventProc SetAdapterListChangeEvent;
  VorlanexRequestProc VorlanexRequest;
  GetRasLinksProc GetRasLinks;
  SetHwPacketFilterProc SetHwPacketFilter;
  GetHwPacketFilterProc GetHwPacketFilter;
  SetParameterProc SetMTUDecrement;
  GetParameterProc GetMTUDecrement;
  SetParameterProc SetAdaptersStartupMode;
  GetParameterProc GetAdaptersStartupMode;
  IsDriverLoadedProc IsDriverLoaded;
  GetBytesReturnedProc GetBytesReturned;
  FilterTableProc SetPacketFilterTable;
  FilterTableProc GetPacketFilterTable;
  FilterTableProc GetPacketFilterTableResetStats;
  ResetPacketFilterTableProc ResetPacketFilterTable;
  GetPacketFilterTableSizeProc GetPacketFilterTableSize;
  ConvertAdapterNameProc ConvertWindowsNTAdapterName;
  ConvertAdapterNameProc ConvertWindows2000AdapterName;
  ConvertAdapterNameProc ConvertWindows9xAdapterName;
};

inline constexpr const char* kPacketDriverLibraryName = "VorlanexApi.dll";
inline constexpr const char* kPacketDriverLoadErrorText = "Cannot load library \"VORLANEXAPI.DLL\"";

// Raised by LoadPacketDriverApi; what() is kPacketDriverLoadErrorText.
class PacketDriverLoadError : public std::runtime_error {
 public:
  PacketDriverLoadError() : std::runtime_error(kPacketDriverLoadErrorText) {}
};

// The process-wide export table; every entry is empty while no library is loaded.
extern PacketDriverApi PacketDriver;

// Nothing when the library is loaded already. Otherwise loads it by name and
// resolves every export in table order; raises PacketDriverLoadError when the
// library cannot be loaded or lacks one of the exports the service calls (the
// library is then released again and the table stays empty).
void LoadPacketDriverApi();
// Releases the library, if loaded, and empties the table.
void UnloadPacketDriverApi();
bool PacketDriverApiLoaded();

}  // namespace zl::driverclient
