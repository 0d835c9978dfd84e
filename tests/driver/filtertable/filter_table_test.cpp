#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "tests/driver/support/driver_fixture.h"

namespace zl::drivertest {
namespace {

using zl::driver::FilterRule;
using namespace zl::driver;

class FilterTableTest : public DriverTest {
 protected:
  void SetUp() override {
    LoadDriver();
    adapter_ = &AddAdapter();
  }
  FilterModule* module() { return ModuleOf(*adapter_); }

  static PacketRecord RecordOf(const Bytes& frame, ULONG direction = DIRECTION_INBOUND) {
    PacketRecord record{};
    // Bytes beyond the frame look like a valid continuation, so a rule that
    // read past the length would match.
    std::memset(record.Frame, 0, sizeof record.Frame);
    std::memcpy(record.Frame, frame.data(), frame.size());
    record.Length = ULONG(frame.size());
    record.Direction = direction;
    return record;
  }
  static void Install(const std::vector<FilterRule>& rules) {
    const Bytes table = TableOf(rules);
    ASSERT_EQ(InstallFilterTable(table.data(), ULONG(table.size())), STATUS_SUCCESS);
  }
  static std::vector<FilterRule> Read(bool reset = false) {
    Bytes out(4 + 116 * 8);
    EXPECT_EQ(ReadFilterTable(out.data(), ULONG(out.size()), reset), STATUS_SUCCESS);
    ULONG count;
    std::memcpy(&count, out.data(), 4);
    std::vector<FilterRule> rules(count);
    std::memcpy(rules.data(), out.data() + 4, count * sizeof(FilterRule));
    return rules;
  }
  static ULONG Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    ULONG value;
    std::memcpy(&value, bytes, 4);
    return value;  // network byte order, as the table holds it
  }

  zl::ndishost::EmulatedAdapter* adapter_ = nullptr;
};

TEST_F(FilterTableTest, WithoutATableEveryRecordIsDiverted) {
  PacketRecord record = RecordOf(Ipv4Frame({10, 0, 0, 1}, {10, 0, 0, 2}, 6, 1000, 80));
  EXPECT_EQ(ClassifyRecord(module(), &record), FILTER_ACTION_DIVERT);
  EXPECT_EQ(InstalledRuleCount(), 0u);
}

TEST_F(FilterTableTest, ARuleWithoutLayersDecidesEveryFrameAndCountsIt) {
  Install({MakeRule(3, FILTER_ACTION_DROP)});
  PacketRecord arp = RecordOf(EthernetFrame(kBroadcast, kClientMac, 0x0806, 42), DIRECTION_OUTBOUND);
  PacketRecord ip = RecordOf(Ipv4Frame({10, 0, 0, 1}, {10, 0, 0, 2}, 17, 53, 53, 100));
  EXPECT_EQ(ClassifyRecord(module(), &arp), FILTER_ACTION_DROP);
  EXPECT_EQ(ClassifyRecord(module(), &ip), FILTER_ACTION_DROP);
  const auto rules = Read();
  ASSERT_EQ(rules.size(), 1u);
  EXPECT_EQ(ULONG64(rules[0].Packets), 2u);
  EXPECT_EQ(ULONG64(rules[0].Bytes), 142u);
}

struct RuleCase {
  const char* name;
  std::function<void(FilterRule&)> shape;
  Bytes frame;
  bool matches;
};

TEST_F(FilterTableTest, EachPartOfARuleTestsItsFieldsOfTheFrame) {
  const Bytes tcp = Ipv4Frame({192, 168, 137, 20}, {10, 0, 1, 7}, 6, 50000, 443);
  const Bytes udp = Ipv4Frame({192, 168, 137, 20}, {10, 0, 0, 4}, 17, 5353, 53);
  const Bytes icmp = Ipv4Frame({192, 168, 137, 20}, {10, 0, 0, 7}, 1, 0, 0);
  const Bytes arp = EthernetFrame(kBroadcast, kClientMac, 0x0806, 42);
  const auto ethernet = [](ULONG fields) {
    return [fields](FilterRule& r) {
      r.Layers = FILTER_LAYER_DATA_LINK;
      r.DataLinkKind = FILTER_DATA_LINK_ETHERNET;
      r.EthernetFields = fields;
      std::memcpy(r.SourceAddress, kClientMac.data(), 6);
      std::memcpy(r.DestinationAddress, kAdapterMac.data(), 6);
      r.EtherType = 0x0800;
    };
  };
  const auto ipv4 = [](ULONG fields, ULONG kind, ULONG first, ULONG second, UCHAR protocol = 0) {
    return [=](FilterRule& r) {
      r.Layers = FILTER_LAYER_NETWORK;
      r.NetworkKind = FILTER_NETWORK_IPV4;
      r.Ipv4Fields = fields;
      r.SourceKind = r.DestinationKind = kind;
      r.SourceAddressOrStart = r.DestinationAddressOrStart = first;
      r.SourceMaskOrEnd = r.DestinationMaskOrEnd = second;
      r.Protocol = protocol;
    };
  };
  const auto ports = [](ULONG fields, USHORT from, USHORT to) {
    return [=](FilterRule& r) {
      r.Layers = FILTER_LAYER_TRANSPORT;
      r.TransportKind = FILTER_TRANSPORT_TCP_UDP;
      r.PortFields = fields;
      r.SourcePortFrom = r.DestinationPortFrom = from;
      r.SourcePortTo = r.DestinationPortTo = to;
    };
  };
  const ULONG range1 = Address(10, 0, 0, 5);
  const RuleCase cases[] = {
      {"ethernet source", ethernet(FILTER_ETH_SOURCE), tcp, true},
      {"ethernet destination", ethernet(FILTER_ETH_DESTINATION), tcp, true},
      {"ethernet destination differs", ethernet(FILTER_ETH_DESTINATION), arp, false},
      {"ethernet type", ethernet(FILTER_ETH_TYPE), tcp, true},
      {"ethernet type differs", ethernet(FILTER_ETH_TYPE), arp, false},
      {"data-link kind other than Ethernet is ignored",
       [&](FilterRule& r) { ethernet(FILTER_ETH_TYPE)(r); r.DataLinkKind = 2; }, arp, true},
      {"subnet matches", ipv4(FILTER_IPV4_SOURCE, FILTER_ADDRESS_SUBNET, Address(192, 168, 137, 0), Address(255, 255, 255, 0)), tcp, true},
      {"subnet differs", ipv4(FILTER_IPV4_DESTINATION, FILTER_ADDRESS_SUBNET, Address(192, 168, 0, 0), Address(255, 255, 0, 0)), tcp, false},
      {"range 10.0.0.5-10.0.1.3 matches nothing", ipv4(FILTER_IPV4_DESTINATION, FILTER_ADDRESS_RANGE, range1, Address(10, 0, 1, 3)), tcp, false},
      {"range 10.0.0.5-10.0.1.9 has 10.0.1.7", ipv4(FILTER_IPV4_DESTINATION, FILTER_ADDRESS_RANGE, range1, Address(10, 0, 1, 9)), tcp, true},
      {"range 10.0.0.5-10.0.1.9 has 10.0.0.7", ipv4(FILTER_IPV4_DESTINATION, FILTER_ADDRESS_RANGE, range1, Address(10, 0, 1, 9)), icmp, true},
      {"range 10.0.0.5-10.0.1.9 lacks 10.0.0.4", ipv4(FILTER_IPV4_DESTINATION, FILTER_ADDRESS_RANGE, range1, Address(10, 0, 1, 9)), udp, false},
      {"unknown address kind tests nothing", ipv4(FILTER_IPV4_DESTINATION, 7, 0, 0), tcp, true},
      {"protocol", ipv4(FILTER_IPV4_PROTOCOL, 0, 0, 0, 17), udp, true},
      {"protocol differs", ipv4(FILTER_IPV4_PROTOCOL, 0, 0, 0, 17), tcp, false},
      {"network part never matches ARP", ipv4(0, 0, 0, 0), arp, false},
      {"destination port in range", ports(FILTER_PORT_DESTINATION, 443, 443), tcp, true},
      {"source port in range", ports(FILTER_PORT_SOURCE, 5000, 5353), udp, true},
      {"port out of range", ports(FILTER_PORT_DESTINATION, 1, 79), tcp, false},
      {"transport part never matches ICMP", ports(0, 0, 0), icmp, false},
      {"transport part never matches ARP", ports(FILTER_PORT_DESTINATION, 0, 65535), arp, false},
      {"transport kind other than TCP/UDP is ignored", [&](FilterRule& r) { ports(FILTER_PORT_DESTINATION, 1, 2)(r); r.TransportKind = 3; }, icmp, true},
      {"a frame cut before the ports does not match a port test",
       ports(FILTER_PORT_DESTINATION, 443, 443), Bytes(tcp.begin(), tcp.begin() + 36), false},
      {"a frame cut before the addresses does not match an address test",
       ipv4(FILTER_IPV4_DESTINATION, FILTER_ADDRESS_SUBNET, Address(10, 0, 1, 7), Address(255, 255, 255, 255)),
       Bytes(tcp.begin(), tcp.begin() + 30), false},
      {"a frame cut before its type does not match a type test", ethernet(FILTER_ETH_TYPE),
       Bytes(tcp.begin(), tcp.begin() + 12), false},
  };
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.name);
    FilterRule rule = MakeRule(3, FILTER_ACTION_PASS);
    c.shape(rule);
    Install({rule});
    PacketRecord record = RecordOf(c.frame);
    EXPECT_EQ(ClassifyRecord(module(), &record), c.matches ? FILTER_ACTION_PASS : FILTER_ACTION_DIVERT);
    EXPECT_EQ(ULONG64(Read()[0].Packets), c.matches ? 1u : 0u);
  }
}

TEST_F(FilterTableTest, TheFirstMatchingRuleForThisAdapterAndDirectionDecides) {
  auto& other = AddAdapter("{00000000-0000-0000-0000-0000000000B2}");
  FilterRule otherAdapter = MakeRule(3, FILTER_ACTION_PASS);
  otherAdapter.AdapterHandle = ULONG64(reinterpret_cast<ULONG_PTR>(ModuleOf(other)));
  FilterRule outboundOnly = MakeRule(1, FILTER_ACTION_DROP);
  FilterRule thisAdapter = MakeRule(3, FILTER_ACTION_DROP);
  thisAdapter.AdapterHandle = ULONG64(reinterpret_cast<ULONG_PTR>(module()));
  FilterRule catchAll = MakeRule(3, FILTER_ACTION_PASS);
  Install({otherAdapter, outboundOnly, thisAdapter, catchAll});

  PacketRecord inbound = RecordOf(EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60), DIRECTION_INBOUND);
  PacketRecord outbound = RecordOf(EthernetFrame(kClientMac, kAdapterMac, 0x0800, 60), DIRECTION_OUTBOUND);
  EXPECT_EQ(ClassifyRecord(module(), &inbound), FILTER_ACTION_DROP);
  EXPECT_EQ(ClassifyRecord(module(), &outbound), FILTER_ACTION_DROP);
  EXPECT_EQ(ClassifyRecord(ModuleOf(other), &inbound), FILTER_ACTION_PASS);
  const auto rules = Read();
  EXPECT_EQ(ULONG64(rules[0].Packets), 1u);
  EXPECT_EQ(ULONG64(rules[1].Packets), 1u);
  EXPECT_EQ(ULONG64(rules[2].Packets), 1u);
  EXPECT_EQ(ULONG64(rules[3].Packets), 0u);

  // A rule naming an adapter that has detached matches nothing.
  Install({otherAdapter});
  host_.RemoveAdapter(other);
  EXPECT_EQ(ClassifyRecord(module(), &inbound), FILTER_ACTION_DIVERT);
}

TEST_F(FilterTableTest, VerdictsOnTheDataPathPassDropOrDivertTheFrames) {
  SetMode(*adapter_, 0x03);
  FilterRule passUdp = MakeRule(3, FILTER_ACTION_PASS);
  passUdp.Layers = FILTER_LAYER_NETWORK;
  passUdp.NetworkKind = FILTER_NETWORK_IPV4;
  passUdp.Ipv4Fields = FILTER_IPV4_PROTOCOL;
  passUdp.Protocol = 17;
  FilterRule dropIcmp = passUdp;
  dropIcmp.Action = FILTER_ACTION_DROP;
  dropIcmp.Protocol = 1;
  Install({passUdp, dropIcmp});
  const Bytes udp = Ipv4Frame({10, 0, 0, 1}, {10, 0, 0, 2}, 17, 1, 2);
  const Bytes icmp = Ipv4Frame({10, 0, 0, 1}, {10, 0, 0, 2}, 1, 0, 0);
  const Bytes tcp = Ipv4Frame({10, 0, 0, 1}, {10, 0, 0, 2}, 6, 1, 2);
  adapter_->SendFromStack(Chain({udp, icmp, tcp}));
  adapter_->ReceiveFromMiniport(Chain({udp, icmp, tcp}));
  EXPECT_EQ(FramesOf(adapter_->TakeMiniportFrames()), std::vector<Bytes>{udp});
  EXPECT_EQ(FramesOf(adapter_->TakeStackFrames()), std::vector<Bytes>{udp});
  EXPECT_EQ(Queued(*adapter_), 2u);
  ExpectRecordsConserved();
}

TEST_F(FilterTableTest, InstallRefusesBadTablesAndKeepsTheInstalledOne) {
  Install({MakeRule(3, FILTER_ACTION_DROP), MakeRule(3, FILTER_ACTION_PASS)});
  const Bytes empty = TableOf({});
  EXPECT_EQ(InstallFilterTable(empty.data(), ULONG(empty.size())), STATUS_INVALID_PARAMETER);
  Bytes shortTable = TableOf({MakeRule(3, FILTER_ACTION_PASS), MakeRule(3, FILTER_ACTION_PASS)});
  EXPECT_EQ(InstallFilterTable(shortTable.data(), ULONG(shortTable.size() - 1)), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(InstallFilterTable(shortTable.data(), 3), STATUS_INVALID_PARAMETER);
  Bytes huge = TableOf({MakeRule(3, FILTER_ACTION_PASS)});
  huge[3] = 0xFF;  // a count whose size would overflow
  EXPECT_EQ(InstallFilterTable(huge.data(), ULONG(huge.size())), STATUS_INVALID_PARAMETER);
  for (ULONG action : {0u, 4u, 0xFFFFFFFFu}) {
    const Bytes bad = TableOf({MakeRule(3, FILTER_ACTION_PASS), MakeRule(3, action)});
    EXPECT_EQ(InstallFilterTable(bad.data(), ULONG(bad.size())), STATUS_INVALID_PARAMETER);
  }
  EXPECT_EQ(InstalledRuleCount(), 2u);
  EXPECT_EQ(ULONG64(Read()[0].Action), FILTER_ACTION_DROP);

  // A longer input than the rules need is fine; only the announced rules count.
  Bytes longer = TableOf({MakeRule(3, FILTER_ACTION_DIVERT)});
  longer.resize(longer.size() + 50, 0xEE);
  EXPECT_EQ(InstallFilterTable(longer.data(), ULONG(longer.size())), STATUS_SUCCESS);
  EXPECT_EQ(InstalledRuleCount(), 1u);
}

TEST_F(FilterTableTest, AnInstallThatCannotAllocateLeavesNoTable) {
  Install({MakeRule(3, FILTER_ACTION_DROP)});
  host_.Pools().FailAllocationNumber(zl::ndishost::TagFromText("NdRd"), 1);
  const Bytes table = TableOf({MakeRule(3, FILTER_ACTION_PASS)});
  EXPECT_NE(InstallFilterTable(table.data(), ULONG(table.size())), STATUS_SUCCESS);
  EXPECT_EQ(InstalledRuleCount(), 0u);
  PacketRecord record = RecordOf(EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60));
  EXPECT_EQ(ClassifyRecord(module(), &record), FILTER_ACTION_DIVERT);
}

TEST_F(FilterTableTest, ReadAndResetReturnsTheCountersAsTheyWereThenStartsThemAgain) {
  host_.SetSystemTimeBase(119600064000000000LL + 10000000LL * 1000);  // 1980-01-01 00:16:40
  Install({MakeRule(3, FILTER_ACTION_DROP)});
  PacketRecord record = RecordOf(EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60));
  ClassifyRecord(module(), &record);
  ClassifyRecord(module(), &record);
  const ULONG installedAt = ULONG(Read()[0].Timestamp);
  EXPECT_EQ(installedAt, 1000u);
  clock_.Advance(std::chrono::seconds(10));

  const auto before = Read(true);
  EXPECT_EQ(ULONG64(before[0].Packets), 2u);
  EXPECT_EQ(ULONG64(before[0].Bytes), 120u);
  EXPECT_EQ(ULONG64(before[0].Timestamp), installedAt);
  const auto after = Read();
  EXPECT_EQ(ULONG64(after[0].Packets), 0u);
  EXPECT_EQ(ULONG64(after[0].Bytes), 0u);
  EXPECT_EQ(ULONG64(after[0].Timestamp), installedAt + 10);
}

TEST_F(FilterTableTest, ReadNeedsRoomForTheWholeTableAndReportsAnEmptyOneAsCountZero) {
  Bytes out(4 + 116, 0xCC);
  EXPECT_EQ(ReadFilterTable(out.data(), 4, false), STATUS_SUCCESS);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), Bytes(4, 0));
  Install({MakeRule(3, FILTER_ACTION_DROP), MakeRule(3, FILTER_ACTION_DROP)});
  PacketRecord record = RecordOf(EthernetFrame(kAdapterMac, kClientMac, 0x0800, 60));
  ClassifyRecord(module(), &record);
  Bytes small(4 + 116, 0);
  EXPECT_NE(ReadFilterTable(small.data(), ULONG(small.size()), true), STATUS_SUCCESS);
  EXPECT_EQ(ULONG64(Read()[0].Packets), 1u);  // nothing was reset
  RemoveFilterTable();
  RemoveFilterTable();
  EXPECT_EQ(InstalledRuleCount(), 0u);
}

TEST_F(FilterTableTest, SecondsSince1980CountsWholeSecondsOfTheSystemTime) {
  // 1980-01-01 00:00:00 in 100 ns units since 1601.
  const LONGLONG origin = 119600064000000000LL;
  host_.SetSystemTimeBase(origin + 9999999);
  EXPECT_EQ(SecondsSince1980(), 0u);
  host_.SetSystemTimeBase(origin + 10000000LL * 86400 + 5);
  EXPECT_EQ(SecondsSince1980(), 86400u);
  host_.SetSystemTimeBase(origin);
  clock_.Advance(std::chrono::milliseconds(2500));
  EXPECT_EQ(SecondsSince1980(), 2u);
}

}  // namespace
}  // namespace zl::drivertest
