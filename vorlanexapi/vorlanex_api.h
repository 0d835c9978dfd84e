// The public header of "VorlanexApi.dll", the client library of the vorlanex
// driver: the Windows types its exports use, the records a caller exchanges
// with it in the caller's own pointer width, and the exports with C linkage.
// A caller needs nothing else; the library converts the records to and from
// the driver's layouts itself.
//
// A driver handle is what OpenFilterDriver returned; INVALID_HANDLE_VALUE (all
// bits set) when the control device could not be opened. Operations on an
// unknown or closed handle fail.
#pragma once

#include <cstddef>
#include <cstdint>

// The calling convention is the platform's WINAPI one (stdcall on 32-bit
// Windows, the only ABI where it differs from the default).
#if defined(_WIN32) && !defined(_WIN64)
#define VORLANEX_CALL __stdcall
#else
#define VORLANEX_CALL
#endif

// The library itself defines VORLANEXAPI_BUILDING; its callers import.
#if defined(_WIN32)
#if defined(VORLANEXAPI_BUILDING)
#define VORLANEX_EXPORT __declspec(dllexport)
#else
#define VORLANEX_EXPORT __declspec(dllimport)
#endif
#else
#define VORLANEX_EXPORT __attribute__((visibility("default")))
#endif

namespace zl::vorlanexapi {

// The Windows types of the exports, spelled portably: a handle is a
// pointer-sized value, BOOL and DWORD are 32 bits.
using HANDLE = void*;
using BOOL = std::int32_t;
using DWORD = std::uint32_t;

inline constexpr std::uint32_t kMaxAdapters = 32;
inline constexpr std::uint32_t kAdapterNameSize = 256;
inline constexpr std::uint32_t kMaxFrameSize = 1514;
inline constexpr std::uint32_t kMaxRasLinks = 256;
inline constexpr std::uint32_t kRasProtocolBufferSize = 1024;

inline constexpr std::uint32_t DIRECTION_OUTBOUND = 1;  // from the local stack towards the adapter
inline constexpr std::uint32_t DIRECTION_INBOUND = 2;   // from the adapter towards the stack

inline constexpr std::uint32_t MODE_DIVERT_OUTBOUND = 0x01;
inline constexpr std::uint32_t MODE_DIVERT_INBOUND = 0x02;

// Each record with handles or pointers is a template over `Word`, the unsigned
// integer as wide as a pointer of the process that lays it out: a 32-bit
// caller has 4-byte handles and pointers, a 64-bit one 8-byte ones. A caller
// uses the native aliases at the end.
#pragma pack(push, 1)

template <typename Word>
struct AdapterListOf {
  std::uint32_t Count;  // at most 32
  char Name[kMaxAdapters][kAdapterNameSize];  // 8-bit text, NUL-terminated
  Word Handle[kMaxAdapters];
  std::uint32_t Medium[kMaxAdapters];
  std::uint8_t Address[kMaxAdapters][6];
  std::uint16_t Mtu[kMaxAdapters];
};

template <typename Word>
struct AdapterModeRequestOf {
  Word AdapterHandle;
  std::uint32_t Flags;
};

template <typename Word>
struct PacketRecordOf {
  Word Link[2];  // list link, for the library and the driver only
  std::uint32_t Direction;
  std::uint32_t Length;  // bytes of Frame in use
  std::uint32_t Reserved;
  std::uint32_t Ieee8021Q;
  std::uint8_t Frame[kMaxFrameSize];
};

template <typename Word>
struct PacketRequestOf {
  Word AdapterHandle;
  Word Record;  // address of a PacketRecordOf<Word>
};

// Followed by Count addresses of records (Word each).
template <typename Word>
struct MultiPacketRequestOf {
  Word AdapterHandle;
  std::uint32_t Count;
  std::uint32_t Done;  // records moved by a multiple read
};

// Followed by Length bytes of data.
template <typename Word>
struct OidPassRequestOf {
  Word AdapterHandle;
  std::uint32_t Oid;
  std::uint32_t Length;
};

// WAN links hold no handles: one layout for every caller.
struct RasLinkInfo {
  std::uint32_t LinkSpeed;
  std::uint32_t MaximumTotalSize;  // as indicated, less MTUDecrement
  std::uint8_t RemoteAddress[6];
  std::uint8_t LocalAddress[6];
  std::uint32_t ProtocolBufferLength;
  std::uint8_t ProtocolBuffer[kRasProtocolBufferSize];
};

struct RasLinkList {
  std::uint32_t Count;  // 0 to 256
  RasLinkInfo Links[kMaxRasLinks];
};

#pragma pack(pop)

// The 32-bit view, byte for byte.
using AdapterList32 = AdapterListOf<std::uint32_t>;
using AdapterModeRequest32 = AdapterModeRequestOf<std::uint32_t>;
using PacketRecord32 = PacketRecordOf<std::uint32_t>;
using PacketRequest32 = PacketRequestOf<std::uint32_t>;
using MultiPacketRequest32 = MultiPacketRequestOf<std::uint32_t>;
using OidPassRequest32 = OidPassRequestOf<std::uint32_t>;

static_assert(sizeof(AdapterList32) == 8708);
static_assert(offsetof(AdapterList32, Name) == 4);
static_assert(offsetof(AdapterList32, Handle) == 8196);
static_assert(offsetof(AdapterList32, Medium) == 8324);
static_assert(offsetof(AdapterList32, Address) == 8452);
static_assert(offsetof(AdapterList32, Mtu) == 8644);
static_assert(sizeof(AdapterModeRequest32) == 8 && offsetof(AdapterModeRequest32, Flags) == 4);
static_assert(sizeof(PacketRequest32) == 8 && offsetof(PacketRequest32, Record) == 4);
static_assert(sizeof(PacketRecord32) == 1538);
static_assert(offsetof(PacketRecord32, Direction) == 8);
static_assert(offsetof(PacketRecord32, Length) == 12);
static_assert(offsetof(PacketRecord32, Reserved) == 16);
static_assert(offsetof(PacketRecord32, Ieee8021Q) == 20);
static_assert(offsetof(PacketRecord32, Frame) == 24);
static_assert(sizeof(MultiPacketRequest32) == 12);
static_assert(sizeof(OidPassRequest32) == 12);
static_assert(sizeof(RasLinkInfo) == 1048);
static_assert(sizeof(RasLinkList) == 268292);

// The caller's own width.
using AdapterList = AdapterListOf<std::uintptr_t>;
using AdapterModeRequest = AdapterModeRequestOf<std::uintptr_t>;
using PacketRecord = PacketRecordOf<std::uintptr_t>;
using PacketRequest = PacketRequestOf<std::uintptr_t>;
using MultiPacketRequest = MultiPacketRequestOf<std::uintptr_t>;
using OidPassRequest = OidPassRequestOf<std::uintptr_t>;

}  // namespace zl::vorlanexapi

extern "C" {

// Opens the control device ("\\.\" + driverName).
VORLANEX_EXPORT zl::vorlanexapi::HANDLE VORLANEX_CALL OpenFilterDriver(const char* driverName);
VORLANEX_EXPORT void VORLANEX_CALL CloseFilterDriver(zl::vorlanexapi::HANDLE driver);
// 0 when the driver does not answer.
VORLANEX_EXPORT zl::vorlanexapi::DWORD VORLANEX_CALL GetDriverVersion(zl::vorlanexapi::HANDLE driver);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL GetTcpipBoundAdaptersInfo(zl::vorlanexapi::HANDLE driver,
                                                                             zl::vorlanexapi::AdapterList* adapters);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SendPacketToMstcp(zl::vorlanexapi::HANDLE driver,
                                                                     zl::vorlanexapi::PacketRequest* request);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SendPacketToAdapter(zl::vorlanexapi::HANDLE driver,
                                                                       zl::vorlanexapi::PacketRequest* request);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL ReadPacket(zl::vorlanexapi::HANDLE driver,
                                                              zl::vorlanexapi::PacketRequest* request);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SendPacketsToMstcp(zl::vorlanexapi::HANDLE driver,
                                                                      zl::vorlanexapi::MultiPacketRequest* request);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SendPacketsToAdapter(zl::vorlanexapi::HANDLE driver,
                                                                        zl::vorlanexapi::MultiPacketRequest* request);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL ReadPackets(zl::vorlanexapi::HANDLE driver,
                                                               zl::vorlanexapi::MultiPacketRequest* request);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SetAdapterMode(zl::vorlanexapi::HANDLE driver,
                                                                  zl::vorlanexapi::AdapterModeRequest* request);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL GetAdapterMode(zl::vorlanexapi::HANDLE driver,
                                                                  zl::vorlanexapi::AdapterModeRequest* request);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL FlushAdapterPacketQueue(zl::vorlanexapi::HANDLE driver,
                                                                           zl::vorlanexapi::HANDLE adapter);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL GetAdapterPacketQueueSize(zl::vorlanexapi::HANDLE driver,
                                                                             zl::vorlanexapi::HANDLE adapter,
                                                                             zl::vorlanexapi::DWORD* size);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SetPacketEvent(zl::vorlanexapi::HANDLE driver,
                                                                  zl::vorlanexapi::HANDLE adapter,
                                                                  zl::vorlanexapi::HANDLE event);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SetWANEvent(zl::vorlanexapi::HANDLE driver,
                                                               zl::vorlanexapi::HANDLE event);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SetAdapterListChangeEvent(zl::vorlanexapi::HANDLE driver,
                                                                             zl::vorlanexapi::HANDLE event);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL VorlanexRequest(zl::vorlanexapi::HANDLE driver,
                                                                   zl::vorlanexapi::OidPassRequest* request,
                                                                   zl::vorlanexapi::BOOL set);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL GetRasLinks(zl::vorlanexapi::HANDLE driver,
                                                               zl::vorlanexapi::HANDLE adapter,
                                                               zl::vorlanexapi::RasLinkList* links);
// The adapter's hardware packet filter (OID_GEN_CURRENT_PACKET_FILTER).
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SetHwPacketFilter(zl::vorlanexapi::HANDLE driver,
                                                                     zl::vorlanexapi::HANDLE adapter,
                                                                     zl::vorlanexapi::DWORD filter);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL GetHwPacketFilter(zl::vorlanexapi::HANDLE driver,
                                                                     zl::vorlanexapi::HANDLE adapter,
                                                                     zl::vorlanexapi::DWORD* filter);
// The driver's start parameters; effective at the driver's next start.
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SetMTUDecrement(zl::vorlanexapi::DWORD decrement);
VORLANEX_EXPORT zl::vorlanexapi::DWORD VORLANEX_CALL GetMTUDecrement();
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SetAdaptersStartupMode(zl::vorlanexapi::DWORD mode);
VORLANEX_EXPORT zl::vorlanexapi::DWORD VORLANEX_CALL GetAdaptersStartupMode();
// The driver answered a request through this handle.
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL IsDriverLoaded(zl::vorlanexapi::HANDLE driver);
// The bytes the driver reported for the handle's last request (0 after a failure).
VORLANEX_EXPORT zl::vorlanexapi::DWORD VORLANEX_CALL GetBytesReturned(zl::vorlanexapi::HANDLE driver);
// A filter table is a DWORD count followed by the rules in the driver's rule
// layout (it holds no pointers). On reads, the count the caller sets is the
// number of rules its buffer holds.
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL SetPacketFilterTable(zl::vorlanexapi::HANDLE driver, void* table);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL GetPacketFilterTable(zl::vorlanexapi::HANDLE driver, void* table);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL GetPacketFilterTableResetStats(zl::vorlanexapi::HANDLE driver,
                                                                                  void* table);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL ResetPacketFilterTable(zl::vorlanexapi::HANDLE driver);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL GetPacketFilterTableSize(zl::vorlanexapi::HANDLE driver,
                                                                            zl::vorlanexapi::DWORD* rules);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL ConvertWindowsNTAdapterName(const char* adapterName,
                                                                               char* userName,
                                                                               zl::vorlanexapi::DWORD userNameSize);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL ConvertWindows2000AdapterName(const char* adapterName,
                                                                                 char* userName,
                                                                                 zl::vorlanexapi::DWORD userNameSize);
VORLANEX_EXPORT zl::vorlanexapi::BOOL VORLANEX_CALL ConvertWindows9xAdapterName(const char* adapterName,
                                                                               char* userName,
                                                                               zl::vorlanexapi::DWORD userNameSize);
}
