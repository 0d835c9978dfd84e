// The boundary between the vorlanex driver and its user-mode clients: the
// control codes of the device "\Device\VORLANEX" and the records they carry, in
// the driver's 64-bit layout (little-endian, handles and pointers 8 bytes).
//
// Plain fixed-width types only, so that the client library includes this header
// as it stands; a library serving 32-bit callers widens their handles and
// pointers into these layouts.
#pragma once

#include <stdint.h>

namespace zl::vorlanex {

// Device type 0x8300, FILE_ANY_ACCESS, METHOD_BUFFERED: input and output share
// one system buffer of the larger size. Each code is followed by the client
// library operation built on it; OpenFilterDriver and CloseFilterDriver open and
// close the device "\\.\VORLANEX" itself, with no control code.
constexpr uint32_t ControlCode(uint32_t function) { return 0x8300u << 16 | function << 2; }

constexpr uint32_t IOCTL_VORLANEX_GET_VERSION = ControlCode(0x830);                 // 0x830020C0, GetDriverVersion
constexpr uint32_t IOCTL_VORLANEX_GET_ADAPTER_LIST = ControlCode(0x831);            // 0x830020C4, GetTcpipBoundAdaptersInfo
constexpr uint32_t IOCTL_VORLANEX_SEND_TO_ADAPTER = ControlCode(0x832);             // 0x830020C8, SendPacketToAdapter
constexpr uint32_t IOCTL_VORLANEX_SEND_TO_PROTOCOLS = ControlCode(0x833);           // 0x830020CC, SendPacketToMstcp
constexpr uint32_t IOCTL_VORLANEX_READ_PACKET = ControlCode(0x834);                 // 0x830020D0, ReadPacket
constexpr uint32_t IOCTL_VORLANEX_SET_ADAPTER_MODE = ControlCode(0x835);            // 0x830020D4, SetAdapterMode
constexpr uint32_t IOCTL_VORLANEX_FLUSH_ADAPTER_QUEUE = ControlCode(0x836);         // 0x830020D8, FlushAdapterPacketQueue
constexpr uint32_t IOCTL_VORLANEX_SET_PACKET_EVENT = ControlCode(0x837);            // 0x830020DC, SetPacketEvent
constexpr uint32_t IOCTL_VORLANEX_OID_SET = ControlCode(0x838);                     // 0x830020E0, VorlanexRequest (set)
constexpr uint32_t IOCTL_VORLANEX_OID_QUERY = ControlCode(0x839);                   // 0x830020E4, VorlanexRequest (query)
constexpr uint32_t IOCTL_VORLANEX_SET_WAN_EVENT = ControlCode(0x83A);               // 0x830020E8, SetWANEvent
constexpr uint32_t IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT = ControlCode(0x83B);      // 0x830020EC, SetAdapterListChangeEvent
constexpr uint32_t IOCTL_VORLANEX_GET_QUEUE_SIZE = ControlCode(0x83C);              // 0x830020F0, GetAdapterPacketQueueSize
constexpr uint32_t IOCTL_VORLANEX_GET_ADAPTER_MODE = ControlCode(0x83D);            // 0x830020F4, GetAdapterMode
constexpr uint32_t IOCTL_VORLANEX_SET_FILTER_TABLE = ControlCode(0x83E);            // 0x830020F8, SetPacketFilterTable
constexpr uint32_t IOCTL_VORLANEX_RESET_FILTER_TABLE = ControlCode(0x83F);          // 0x830020FC, ResetPacketFilterTable
constexpr uint32_t IOCTL_VORLANEX_GET_FILTER_TABLE_SIZE = ControlCode(0x840);       // 0x83002100, GetPacketFilterTableSize
constexpr uint32_t IOCTL_VORLANEX_GET_FILTER_TABLE = ControlCode(0x841);            // 0x83002104, GetPacketFilterTable
constexpr uint32_t IOCTL_VORLANEX_GET_FILTER_TABLE_RESET_STATS = ControlCode(0x842);  // 0x83002108, GetPacketFilterTableResetStats
constexpr uint32_t IOCTL_VORLANEX_GET_RAS_LINKS = ControlCode(0x843);               // 0x8300210C, GetRasLinks
constexpr uint32_t IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER = ControlCode(0x844);     // 0x83002110, SendPacketsToAdapter
constexpr uint32_t IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS = ControlCode(0x845);   // 0x83002114, SendPacketsToMstcp
constexpr uint32_t IOCTL_VORLANEX_READ_PACKETS = ControlCode(0x846);                // 0x83002118, ReadPackets
static_assert(IOCTL_VORLANEX_GET_VERSION == 0x830020C0 && IOCTL_VORLANEX_OID_SET == 0x830020E0 &&
              IOCTL_VORLANEX_READ_PACKETS == 0x83002118);

constexpr uint32_t VORLANEX_DRIVER_VERSION = 0x01083000;

// Directions of a PacketRecord.
constexpr uint32_t DIRECTION_OUTBOUND = 1;  // from the protocols towards the adapter
constexpr uint32_t DIRECTION_INBOUND = 2;   // from the adapter towards the protocols

// Adapter mode flags.
constexpr uint32_t MODE_DIVERT_OUTBOUND = 0x01;
constexpr uint32_t MODE_DIVERT_INBOUND = 0x02;
constexpr uint32_t MODE_COPY_OUTBOUND = 0x04;
constexpr uint32_t MODE_COPY_INBOUND = 0x08;
constexpr uint32_t MODE_INBOUND_OWN_ADDRESS_ONLY = 0x10;
constexpr uint32_t MODE_INBOUND_LOOPBACK = 0x20;
constexpr uint32_t MODE_LOOPBACK_DROP_UNICAST = 0x40;

constexpr uint32_t MAX_FRAME_SIZE = 1514;
constexpr uint32_t MAX_LISTED_ADAPTERS = 32;
constexpr uint32_t MAX_RAS_LINKS = 256;
constexpr uint32_t RAS_PROTOCOL_BUFFER_SIZE = 1024;

#pragma pack(push, 1)

// One frame in transit between driver and client. Every transfer moves the
// first 32 + Length bytes.
struct PacketRecord {
  uint64_t Link[2];  // the driver's own queue linkage; ignored on input
  uint32_t Direction;
  uint32_t Length;  // bytes of Frame in use, at most 1514
  uint32_t Reserved;
  uint32_t Ieee8021Q;  // low 32 bits of the list's 802.1Q information
  uint8_t Frame[MAX_FRAME_SIZE];
};
constexpr uint32_t PACKET_RECORD_HEADER_SIZE = 32;

struct AdapterList {
  uint32_t Count;  // 0 to 32; entries from Count on are zero
  char Name[MAX_LISTED_ADAPTERS][256];  // ANSI device name, NUL-terminated, rest zero
  uint64_t Handle[MAX_LISTED_ADAPTERS];
  uint32_t Medium[MAX_LISTED_ADAPTERS];  // 0 = 802.3, 3 = WAN, 9 = wireless WAN, ...
  uint8_t Address[MAX_LISTED_ADAPTERS][6];
  uint16_t Mtu[MAX_LISTED_ADAPTERS];
};

struct PacketRequest {
  uint64_t AdapterHandle;
  uint64_t Record;  // address of a PacketRecord in the caller
};

// Followed by Count addresses of PacketRecords in the caller.
struct MultiPacketRequest {
  uint64_t AdapterHandle;
  uint32_t Count;
  uint32_t Done;  // set by the driver on a multiple read
};
constexpr uint32_t MULTI_PACKET_REQUEST_HEADER_SIZE = 16;

struct AdapterModeRequest {
  uint64_t AdapterHandle;
  uint32_t Flags;
};

struct AdapterEventRequest {
  uint64_t AdapterHandle;
  uint64_t Event;  // a handle of the caller; 0 means none
};

struct AdapterRequest {
  uint64_t AdapterHandle;
};

struct EventRequest {
  uint64_t Event;  // 0 means none
};

// Followed by Length bytes of data: the value to set, or room for the value queried.
struct OidPassRequest {
  uint64_t AdapterHandle;
  uint32_t Oid;
  uint32_t Length;
};
constexpr uint32_t OID_PASS_REQUEST_HEADER_SIZE = 16;

// One rule of a static filter table; a table is a uint32_t count followed by the rules.
struct FilterRule {
  uint64_t AdapterHandle;  // 0: every adapter
  uint32_t Directions;     // bit 0 outbound, bit 1 inbound
  uint32_t Action;         // 1 pass, 2 drop, 3 divert
  uint32_t Layers;
  uint32_t Timestamp;  // seconds since 1980 of the last counter reset
  uint64_t Packets;
  uint64_t Bytes;
  uint32_t DataLinkKind;
  uint32_t EthernetFields;
  uint8_t SourceAddress[6];
  uint8_t DestinationAddress[6];
  uint16_t EtherType;  // host byte order
  uint16_t Padding1;
  uint32_t NetworkKind;
  uint32_t Ipv4Fields;
  uint32_t SourceKind;
  uint32_t SourceAddressOrStart;  // network byte order
  uint32_t SourceMaskOrEnd;
  uint32_t DestinationKind;
  uint32_t DestinationAddressOrStart;
  uint32_t DestinationMaskOrEnd;
  uint8_t Protocol;
  uint8_t Padding2[3];
  uint32_t TransportKind;
  uint32_t PortFields;
  uint16_t SourcePortFrom;  // host byte order
  uint16_t SourcePortTo;
  uint16_t DestinationPortFrom;
  uint16_t DestinationPortTo;
};
constexpr uint32_t FILTER_TABLE_HEADER_SIZE = 4;

// One active WAN link, as its line-up reported it.
struct RasLinkInfo {
  uint32_t LinkSpeed;
  uint32_t MaximumTotalSize;  // as indicated, less MTUDecrement
  uint8_t RemoteAddress[6];
  uint8_t LocalAddress[6];
  uint32_t ProtocolBufferLength;
  uint8_t ProtocolBuffer[RAS_PROTOCOL_BUFFER_SIZE];
};

struct RasLinkList {
  uint32_t Count;  // 0 to 256
  RasLinkInfo Links[MAX_RAS_LINKS];
};

#pragma pack(pop)

static_assert(sizeof(PacketRecord) == 1546);
static_assert(sizeof(AdapterList) == 8836);
static_assert(sizeof(PacketRequest) == 16);
static_assert(sizeof(MultiPacketRequest) == MULTI_PACKET_REQUEST_HEADER_SIZE);
static_assert(sizeof(AdapterModeRequest) == 12);
static_assert(sizeof(AdapterEventRequest) == 16);
static_assert(sizeof(OidPassRequest) == OID_PASS_REQUEST_HEADER_SIZE);
static_assert(sizeof(FilterRule) == 116);
static_assert(sizeof(RasLinkInfo) == 1048);
static_assert(sizeof(RasLinkList) == 268292);

}  // namespace zl::vorlanex
