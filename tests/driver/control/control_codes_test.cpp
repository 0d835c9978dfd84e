// Every control code against a table of inputs: a good request, a short input,
// a short output, an unknown adapter, a paused adapter and a bad pointer, with
// the status and byte count each completes with.
#include <functional>
#include <string>

#include "tests/driver/control/control_fixture.h"

namespace zl::drivertest {
namespace {

constexpr NTSTATUS OK = STATUS_SUCCESS;
constexpr NTSTATUS BAD = STATUS_INVALID_PARAMETER;
constexpr std::uint64_t kUnknownAdapter = 0x1000;
constexpr std::uint64_t kUnmapped = 0x10;  // the first page is never mapped

struct ControlCase {
  std::string name;
  std::uint32_t code;
  Bytes input;
  std::uint32_t outputLength;
  NTSTATUS status;
  ULONG_PTR bytes;
  bool paused = false;        // the adapter is paused while the request runs
  int queued = 0;             // inbound frames queued first
  bool table = false;         // a one-rule table is installed first
};

class ControlCodesTest : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    good_ = CallerRecord(EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60));
    tooLong_ = CallerRecord(EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60));
    tooLong_.Length = 1515;
    event_ = host_.CreateEvent();
    eventHandle_ = host_.Caller().OpenHandle(event_);
  }

  Bytes Packet(std::uint64_t adapter, const void* record) const {
    return BytesOf(vx::PacketRequest{adapter, AddressOf(record)});
  }
  Bytes Packet(std::uint64_t adapter, std::uint64_t address) const {
    return BytesOf(vx::PacketRequest{adapter, address});
  }
  static Bytes Truncated(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
  }
  Bytes Mode(std::uint64_t adapter) const { return BytesOf(vx::AdapterModeRequest{adapter, 0x03}); }
  Bytes AdapterOnly(std::uint64_t adapter) const { return BytesOf(vx::AdapterRequest{adapter}); }
  Bytes AdapterEvent(std::uint64_t adapter, std::uint64_t event) const {
    return BytesOf(vx::AdapterEventRequest{adapter, event});
  }
  Bytes EventOnly(std::uint64_t event) const { return BytesOf(vx::EventRequest{event}); }
  Bytes Multi(std::uint64_t adapter, std::uint32_t count, std::vector<std::uint64_t> records) const {
    return MultiRequest(adapter, count, records);
  }
  std::uint64_t Good() const { return AddressOf(&good_); }
  std::uint64_t TooLong() const { return AddressOf(&tooLong_); }
  std::uint64_t ReadInto() { return AddressOf(&readInto_); }

  std::vector<ControlCase> Cases() {
    const std::uint64_t a = handle_;
    const std::uint64_t unknown = kUnknownAdapter;
    const Bytes oid = OidRequest(a, OID_GEN_MAXIMUM_FRAME_SIZE, Bytes(4, 0), 4);
    const Bytes table = TableOf({MakeRule(3, zl::driver::FILTER_ACTION_PASS)});
    Bytes emptyTable = table;
    emptyTable[0] = 0;
    const std::uint32_t links = sizeof(vx::RasLinkList);
    return {
        {"unknown code", vx::ControlCode(0x847), AdapterOnly(a), 16, BAD, 0},
        {"unknown device type", 0x84002100, {}, 4, BAD, 0},

        {"version", vx::IOCTL_VORLANEX_GET_VERSION, {}, 4, OK, 4},
        {"version, larger output", vx::IOCTL_VORLANEX_GET_VERSION, {}, 16, OK, 4},
        {"version, short output", vx::IOCTL_VORLANEX_GET_VERSION, {}, 3, BAD, 0},

        {"adapter list", vx::IOCTL_VORLANEX_GET_ADAPTER_LIST, {}, 8836, OK, 8836},
        {"adapter list, short output", vx::IOCTL_VORLANEX_GET_ADAPTER_LIST, {}, 8835, BAD, 0},

        {"send to adapter", vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, Packet(a, Good()), 0, OK, 0},
        {"send to adapter, short input", vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, Truncated(Packet(a, Good()), 15), 0, BAD, 0},
        {"send to adapter, unknown adapter", vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, Packet(unknown, Good()), 0, BAD, 0},
        {"send to adapter, paused adapter", vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, Packet(a, Good()), 0, BAD, 0, true},
        {"send to adapter, bad pointer", vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, Packet(a, kUnmapped), 0, BAD, 0},
        {"send to adapter, length 1515", vx::IOCTL_VORLANEX_SEND_TO_ADAPTER, Packet(a, TooLong()), 0, BAD, 0},

        {"send to protocols", vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, Packet(a, Good()), 0, OK, 0},
        {"send to protocols, short input", vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, Truncated(Packet(a, Good()), 15), 0, BAD, 0},
        {"send to protocols, unknown adapter", vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, Packet(unknown, Good()), 0, BAD, 0},
        {"send to protocols, paused adapter", vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, Packet(a, Good()), 0, BAD, 0, true},
        {"send to protocols, bad pointer", vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, Packet(a, kUnmapped), 0, BAD, 0},
        {"send to protocols, length 1515", vx::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, Packet(a, TooLong()), 0, BAD, 0},

        {"read", vx::IOCTL_VORLANEX_READ_PACKET, Packet(a, ReadInto()), 16, OK, 16, false, 1},
        {"read, output shorter than the echo", vx::IOCTL_VORLANEX_READ_PACKET, Packet(a, ReadInto()), 8, OK, 8, false, 1},
        {"read, empty queue", vx::IOCTL_VORLANEX_READ_PACKET, Packet(a, ReadInto()), 16, BAD, 0},
        {"read, short input", vx::IOCTL_VORLANEX_READ_PACKET, Truncated(Packet(a, ReadInto()), 15), 16, BAD, 0, false, 1},
        {"read, unknown adapter", vx::IOCTL_VORLANEX_READ_PACKET, Packet(unknown, ReadInto()), 16, BAD, 0, false, 1},
        {"read, paused adapter", vx::IOCTL_VORLANEX_READ_PACKET, Packet(a, ReadInto()), 16, BAD, 0, true, 1},
        {"read, bad pointer", vx::IOCTL_VORLANEX_READ_PACKET, Packet(a, kUnmapped), 16, BAD, 0, false, 1},

        {"set mode", vx::IOCTL_VORLANEX_SET_ADAPTER_MODE, Mode(a), 0, OK, 0},
        {"set mode, short input", vx::IOCTL_VORLANEX_SET_ADAPTER_MODE, Truncated(Mode(a), 11), 0, BAD, 0},
        {"set mode, unknown adapter", vx::IOCTL_VORLANEX_SET_ADAPTER_MODE, Mode(unknown), 0, BAD, 0},
        {"set mode, paused adapter", vx::IOCTL_VORLANEX_SET_ADAPTER_MODE, Mode(a), 0, BAD, 0, true},

        {"flush", vx::IOCTL_VORLANEX_FLUSH_ADAPTER_QUEUE, AdapterOnly(a), 0, OK, 0, false, 2},
        {"flush, short input", vx::IOCTL_VORLANEX_FLUSH_ADAPTER_QUEUE, Truncated(AdapterOnly(a), 7), 0, BAD, 0},
        {"flush, unknown adapter", vx::IOCTL_VORLANEX_FLUSH_ADAPTER_QUEUE, AdapterOnly(unknown), 0, BAD, 0},
        {"flush, paused adapter", vx::IOCTL_VORLANEX_FLUSH_ADAPTER_QUEUE, AdapterOnly(a), 0, BAD, 0, true},

        {"packet event", vx::IOCTL_VORLANEX_SET_PACKET_EVENT, AdapterEvent(a, eventHandle_), 0, OK, 0},
        {"packet event cleared", vx::IOCTL_VORLANEX_SET_PACKET_EVENT, AdapterEvent(a, 0), 0, OK, 0},
        {"packet event, short input", vx::IOCTL_VORLANEX_SET_PACKET_EVENT, Truncated(AdapterEvent(a, eventHandle_), 15), 0, BAD, 0},
        {"packet event, unknown adapter", vx::IOCTL_VORLANEX_SET_PACKET_EVENT, AdapterEvent(unknown, eventHandle_), 0, BAD, 0},
        {"packet event, paused adapter", vx::IOCTL_VORLANEX_SET_PACKET_EVENT, AdapterEvent(a, eventHandle_), 0, BAD, 0, true},
        {"packet event, bad handle", vx::IOCTL_VORLANEX_SET_PACKET_EVENT, AdapterEvent(a, 0x7777), 0, BAD, 0},

        {"OID set", vx::IOCTL_VORLANEX_OID_SET, oid, 20, OK, 20},
        {"OID query", vx::IOCTL_VORLANEX_OID_QUERY, oid, 20, OK, 20},
        {"OID query, output differs from input", vx::IOCTL_VORLANEX_OID_QUERY, oid, 24, BAD, 0},
        {"OID query, 16 bytes", vx::IOCTL_VORLANEX_OID_QUERY, Truncated(oid, 16), 16, BAD, 0},
        {"OID query, length beyond the input", vx::IOCTL_VORLANEX_OID_QUERY, OidRequest(a, 1, Bytes(4, 0), 5), 20, BAD, 0},
        {"OID query, unknown adapter", vx::IOCTL_VORLANEX_OID_QUERY, OidRequest(unknown, 1, Bytes(4, 0), 4), 20, BAD, 0},
        {"OID set, paused adapter", vx::IOCTL_VORLANEX_OID_SET, oid, 20, BAD, 0, true},

        {"WAN event", vx::IOCTL_VORLANEX_SET_WAN_EVENT, EventOnly(eventHandle_), 0, OK, 0},
        {"WAN event cleared", vx::IOCTL_VORLANEX_SET_WAN_EVENT, EventOnly(0), 0, OK, 0},
        {"WAN event, short input", vx::IOCTL_VORLANEX_SET_WAN_EVENT, Truncated(EventOnly(eventHandle_), 7), 0, BAD, 0},
        {"WAN event, bad handle", vx::IOCTL_VORLANEX_SET_WAN_EVENT, EventOnly(0x7777), 0, BAD, 0},

        {"list event", vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT, EventOnly(eventHandle_), 0, OK, 0},
        {"list event cleared", vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT, EventOnly(0), 0, OK, 0},
        {"list event, short input", vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT, Truncated(EventOnly(eventHandle_), 7), 0, BAD, 0},
        {"list event, bad handle", vx::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT, EventOnly(0x7777), 0, BAD, 0},

        {"queue size", vx::IOCTL_VORLANEX_GET_QUEUE_SIZE, AdapterOnly(a), 4, OK, 4, false, 3},
        {"queue size, short input", vx::IOCTL_VORLANEX_GET_QUEUE_SIZE, Truncated(AdapterOnly(a), 7), 4, BAD, 0},
        {"queue size, unknown adapter", vx::IOCTL_VORLANEX_GET_QUEUE_SIZE, AdapterOnly(unknown), 4, BAD, 0},
        {"queue size, paused adapter", vx::IOCTL_VORLANEX_GET_QUEUE_SIZE, AdapterOnly(a), 4, BAD, 0, true},

        {"get mode", vx::IOCTL_VORLANEX_GET_ADAPTER_MODE, Mode(a), 12, OK, 12},
        {"get mode, output shorter than the echo", vx::IOCTL_VORLANEX_GET_ADAPTER_MODE, Mode(a), 4, OK, 4},
        {"get mode, short input", vx::IOCTL_VORLANEX_GET_ADAPTER_MODE, Truncated(Mode(a), 11), 12, BAD, 0},
        {"get mode, unknown adapter", vx::IOCTL_VORLANEX_GET_ADAPTER_MODE, Mode(unknown), 12, BAD, 0},
        {"get mode, paused adapter", vx::IOCTL_VORLANEX_GET_ADAPTER_MODE, Mode(a), 12, BAD, 0, true},

        {"install table", vx::IOCTL_VORLANEX_SET_FILTER_TABLE, table, 0, OK, 0},
        {"install table, short input", vx::IOCTL_VORLANEX_SET_FILTER_TABLE, Truncated(table, 119), 0, BAD, 0},
        {"install table, count 0", vx::IOCTL_VORLANEX_SET_FILTER_TABLE, emptyTable, 0, BAD, 0},
        {"remove table", vx::IOCTL_VORLANEX_RESET_FILTER_TABLE, {}, 0, OK, 0, false, 0, true},
        {"remove table, none installed", vx::IOCTL_VORLANEX_RESET_FILTER_TABLE, {}, 0, OK, 0},
        {"table size", vx::IOCTL_VORLANEX_GET_FILTER_TABLE_SIZE, {}, 4, OK, 4, false, 0, true},
        {"table size, short output", vx::IOCTL_VORLANEX_GET_FILTER_TABLE_SIZE, {}, 3, BAD, 0},
        {"read table", vx::IOCTL_VORLANEX_GET_FILTER_TABLE, {}, 200, OK, 200, false, 0, true},
        {"read table, short output", vx::IOCTL_VORLANEX_GET_FILTER_TABLE, {}, 119, BAD, 0, false, 0, true},
        {"read table, none installed", vx::IOCTL_VORLANEX_GET_FILTER_TABLE, {}, 4, OK, 4},
        {"read and reset table", vx::IOCTL_VORLANEX_GET_FILTER_TABLE_RESET_STATS, {}, 120, OK, 120, false, 0, true},
        {"read and reset table, short output", vx::IOCTL_VORLANEX_GET_FILTER_TABLE_RESET_STATS, {}, 100, BAD, 0, false, 0, true},
        {"read and reset table, none installed", vx::IOCTL_VORLANEX_GET_FILTER_TABLE_RESET_STATS, {}, 8, OK, 8},

        {"WAN links", vx::IOCTL_VORLANEX_GET_RAS_LINKS, AdapterOnly(a), links, OK, links},
        {"WAN links, short input", vx::IOCTL_VORLANEX_GET_RAS_LINKS, Truncated(AdapterOnly(a), 7), links, BAD, 0},
        {"WAN links, short output", vx::IOCTL_VORLANEX_GET_RAS_LINKS, AdapterOnly(a), links - 1, BAD, 0},
        {"WAN links, unknown adapter", vx::IOCTL_VORLANEX_GET_RAS_LINKS, AdapterOnly(unknown), links, BAD, 0},
        {"WAN links, paused adapter", vx::IOCTL_VORLANEX_GET_RAS_LINKS, AdapterOnly(a), links, BAD, 0, true},

        {"send several to adapter", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, Multi(a, 2, {Good(), Good()}), 0, OK, 0},
        {"send several to adapter, 23 bytes", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, Truncated(Multi(a, 1, {Good()}), 23), 0, BAD, 0},
        {"send several to adapter, count beyond the input", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, Multi(a, 3, {Good(), Good()}), 0, BAD, 0},
        {"send several to adapter, unknown adapter", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, Multi(unknown, 1, {Good()}), 0, BAD, 0},
        {"send several to adapter, paused adapter", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, Multi(a, 1, {Good()}), 0, BAD, 0, true},
        {"send several to adapter, bad pointer", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, Multi(a, 2, {Good(), kUnmapped}), 0, BAD, 0},

        {"send several to protocols", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, Multi(a, 2, {Good(), Good()}), 0, OK, 0},
        {"send several to protocols, 23 bytes", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, Truncated(Multi(a, 1, {Good()}), 23), 0, BAD, 0},
        {"send several to protocols, count beyond the input", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, Multi(a, 3, {Good(), Good()}), 0, BAD, 0},
        {"send several to protocols, unknown adapter", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, Multi(unknown, 1, {Good()}), 0, BAD, 0},
        {"send several to protocols, paused adapter", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, Multi(a, 1, {Good()}), 0, BAD, 0, true},
        {"send several to protocols, bad pointer", vx::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, Multi(a, 1, {kUnmapped}), 0, BAD, 0},

        {"read several", vx::IOCTL_VORLANEX_READ_PACKETS, Multi(a, 1, {ReadInto()}), 24, OK, 24, false, 1},
        {"read several, output shorter than the echo", vx::IOCTL_VORLANEX_READ_PACKETS, Multi(a, 1, {ReadInto()}), 16, OK, 16, false, 1},
        {"read several, empty queue", vx::IOCTL_VORLANEX_READ_PACKETS, Multi(a, 1, {ReadInto()}), 24, BAD, 0},
        {"read several, 23 bytes", vx::IOCTL_VORLANEX_READ_PACKETS, Truncated(Multi(a, 1, {ReadInto()}), 23), 24, BAD, 0, false, 1},
        {"read several, count beyond the input", vx::IOCTL_VORLANEX_READ_PACKETS, Multi(a, 2, {ReadInto()}), 24, BAD, 0, false, 2},
        {"read several, unknown adapter", vx::IOCTL_VORLANEX_READ_PACKETS, Multi(unknown, 1, {ReadInto()}), 24, BAD, 0, false, 1},
        {"read several, paused adapter", vx::IOCTL_VORLANEX_READ_PACKETS, Multi(a, 1, {ReadInto()}), 24, BAD, 0, true, 1},
        {"read several, bad pointer", vx::IOCTL_VORLANEX_READ_PACKETS, Multi(a, 1, {kUnmapped}), 24, BAD, 0, false, 1},
    };
  }

  vx::PacketRecord good_{};
  vx::PacketRecord tooLong_{};
  vx::PacketRecord readInto_{};
  PKEVENT event_ = nullptr;
  std::uint64_t eventHandle_ = 0;
};

TEST_F(ControlCodesTest, EveryCodeCompletesWithItsStatusAndByteCount) {
  const Bytes table = TableOf({MakeRule(3, zl::driver::FILTER_ACTION_PASS)});
  for (const ControlCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    if (c.queued > 0) QueueInbound(std::vector<Bytes>(c.queued, EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60)));
    if (c.table) ASSERT_EQ(zl::driver::InstallFilterTable(table.data(), ULONG(table.size())), STATUS_SUCCESS);
    if (c.paused) host_.Pause(*adapter_);

    const auto result = Control(c.code, c.input, c.outputLength);
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.information, c.bytes);

    if (c.paused) host_.Restart(*adapter_);
    zl::driver::ResetAdapterQueue(&ModuleOf(*adapter_)->Queue);
    zl::driver::RemoveFilterTable();
    zl::driver::ReplaceWanEvent(nullptr);
    zl::driver::ReplaceAdapterListChangeEvent(nullptr);
    ExpectRecordsConserved();
    adapter_->TakeMiniportFrames();
    adapter_->TakeStackFrames();
  }
  EXPECT_EQ(host_.EventReferences(event_), 1);
}

}  // namespace
}  // namespace zl::drivertest
