// The records the service exchanges with the packet-driver client library, in
// the service's own pointer width. Each is a template over `Word`, the unsigned
// integer as wide as a pointer of the process that lays the record out: a
// 32-bit process has 4-byte handles and pointers (the sizes checked below), a
// 64-bit one 8-byte ones, which are then exactly the driver's own layouts. The
// library keeps both views apart with these templates and converts between
// them; the service uses the native aliases at the end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zl::driverclient {

inline constexpr std::uint32_t kMaxAdapters = 32;
inline constexpr std::uint32_t kAdapterNameSize = 256;
inline constexpr std::uint32_t kMaxFrameSize = 1514;

inline constexpr std::uint32_t DIRECTION_OUTBOUND = 1;  // from the local stack towards the adapter
inline constexpr std::uint32_t DIRECTION_INBOUND = 2;   // from the adapter towards the stack

inline constexpr std::uint32_t MODE_DIVERT_OUTBOUND = 0x01;
inline constexpr std::uint32_t MODE_DIVERT_INBOUND = 0x02;

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

// The 64-bit view is the driver's wire format.
static_assert(sizeof(AdapterListOf<std::uint64_t>) == 8836);
static_assert(sizeof(PacketRecordOf<std::uint64_t>) == 1546);
static_assert(offsetof(PacketRecordOf<std::uint64_t>, Frame) == 32);
static_assert(sizeof(PacketRequestOf<std::uint64_t>) == 16);
static_assert(sizeof(AdapterModeRequestOf<std::uint64_t>) == 12);
static_assert(sizeof(MultiPacketRequestOf<std::uint64_t>) == 16);
static_assert(sizeof(OidPassRequestOf<std::uint64_t>) == 16);

// The service's own width.
using AdapterList = AdapterListOf<std::uintptr_t>;
using AdapterModeRequest = AdapterModeRequestOf<std::uintptr_t>;
using PacketRecord = PacketRecordOf<std::uintptr_t>;
using PacketRequest = PacketRequestOf<std::uintptr_t>;
using MultiPacketRequest = MultiPacketRequestOf<std::uintptr_t>;
using OidPassRequest = OidPassRequestOf<std::uintptr_t>;

}  // namespace zl::driverclient
