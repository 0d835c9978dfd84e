#include "driver/filtertable/filter_table.h"

#include "driver/entry/kernel_lock.h"
#include "driver/entry/pool_tags.h"

namespace zl::driver {
namespace {

struct FilterTableState {
  KernelLock Lock;
  PUCHAR Table;  // count followed by the rules, or none
};

FilterTableState InstalledTable;

ULONG RuleCountOf(const UCHAR* table) {
  ULONG count;
  RtlCopyMemory(&count, table, sizeof count);
  return count;
}

FilterRule* RuleAt(PUCHAR table, ULONG index) {
  return reinterpret_cast<FilterRule*>(table + FILTER_TABLE_HEADER_SIZE + index * sizeof(FilterRule));
}

void ResetCounters(PUCHAR table, ULONG now) {
  const ULONG count = RuleCountOf(table);
  for (ULONG i = 0; i < count; ++i) {
    FilterRule* rule = RuleAt(table, i);
    rule->Timestamp = now;
    rule->Packets = 0;
    rule->Bytes = 0;
  }
}

// What the frame offers the rules, looked at once. Every field is present only
// when all its bytes lie within the record's length, so no rule ever compares
// bytes beyond the frame.
struct FrameView {
  const UCHAR* frame;
  ULONG length;
  bool isIpv4;
  bool hasIpv4Addresses;
  bool hasProtocol;
  UCHAR protocol;
  bool isTcpOrUdp;
  bool hasPorts;
  USHORT sourcePort;
  USHORT destinationPort;
};

USHORT BigEndian16(const UCHAR* bytes) { return USHORT(bytes[0] << 8 | bytes[1]); }

FrameView LookIntoFrame(const PacketRecord* record) {
  FrameView view;
  RtlZeroMemory(&view, sizeof view);
  view.frame = record->Frame;
  view.length = record->Length <= MAX_FRAME_SIZE ? record->Length : MAX_FRAME_SIZE;
  const UCHAR* frame = view.frame;
  constexpr ULONG ip = ETHERNET_HEADER_SIZE;
  view.isIpv4 = view.length >= ip && BigEndian16(frame + 12) == 0x0800;
  if (!view.isIpv4) return view;
  view.hasIpv4Addresses = view.length >= ip + 20;
  view.hasProtocol = view.length >= ip + 10;
  if (!view.hasProtocol) return view;
  view.protocol = frame[ip + 9];
  view.isTcpOrUdp = view.protocol == 6 || view.protocol == 17;
  const ULONG transport = ip + 4 * ULONG(frame[ip] & 0x0F);
  view.hasPorts = view.isTcpOrUdp && view.length >= transport + 4;
  if (view.hasPorts) {
    view.sourcePort = BigEndian16(frame + transport);
    view.destinationPort = BigEndian16(frame + transport + 2);
  }
  return view;
}

bool AddressMatches(ULONG kind, const UCHAR* packetAddress, ULONG first, ULONG second) {
  UCHAR start[4];
  UCHAR end[4];
  RtlCopyMemory(start, &first, 4);
  RtlCopyMemory(end, &second, 4);
  switch (kind) {
    case FILTER_ADDRESS_SUBNET:
      for (int i = 0; i < 4; ++i) {
        if ((packetAddress[i] & end[i]) != (start[i] & end[i])) return false;
      }
      return true;
    case FILTER_ADDRESS_RANGE:
      // Octet by octet, not as one number.
      for (int i = 0; i < 4; ++i) {
        if (packetAddress[i] < start[i] || packetAddress[i] > end[i]) return false;
      }
      return true;
    default:
      return true;
  }
}

bool DataLinkMatches(const FilterRule& rule, const FrameView& view) {
  if ((rule.Layers & FILTER_LAYER_DATA_LINK) == 0 || rule.DataLinkKind != FILTER_DATA_LINK_ETHERNET) return true;
  if ((rule.EthernetFields & FILTER_ETH_SOURCE) &&
      (view.length < 12 || !RtlEqualMemory(rule.SourceAddress, view.frame + 6, 6))) {
    return false;
  }
  if ((rule.EthernetFields & FILTER_ETH_DESTINATION) &&
      (view.length < 6 || !RtlEqualMemory(rule.DestinationAddress, view.frame, 6))) {
    return false;
  }
  if ((rule.EthernetFields & FILTER_ETH_TYPE) &&
      (view.length < ETHERNET_HEADER_SIZE || rule.EtherType != BigEndian16(view.frame + 12))) {
    return false;
  }
  return true;
}

bool NetworkMatches(const FilterRule& rule, const FrameView& view) {
  if ((rule.Layers & FILTER_LAYER_NETWORK) == 0 || rule.NetworkKind != FILTER_NETWORK_IPV4) return true;
  if (!view.isIpv4) return false;
  const UCHAR* header = view.frame + ETHERNET_HEADER_SIZE;
  const bool testsSource = (rule.Ipv4Fields & FILTER_IPV4_SOURCE) &&
                           (rule.SourceKind == FILTER_ADDRESS_SUBNET || rule.SourceKind == FILTER_ADDRESS_RANGE);
  const bool testsDestination =
      (rule.Ipv4Fields & FILTER_IPV4_DESTINATION) &&
      (rule.DestinationKind == FILTER_ADDRESS_SUBNET || rule.DestinationKind == FILTER_ADDRESS_RANGE);
  if ((testsSource || testsDestination) && !view.hasIpv4Addresses) return false;
  if (testsSource && !AddressMatches(rule.SourceKind, header + 12, rule.SourceAddressOrStart, rule.SourceMaskOrEnd)) {
    return false;
  }
  if (testsDestination && !AddressMatches(rule.DestinationKind, header + 16, rule.DestinationAddressOrStart,
                                          rule.DestinationMaskOrEnd)) {
    return false;
  }
  if ((rule.Ipv4Fields & FILTER_IPV4_PROTOCOL) && (!view.hasProtocol || view.protocol != rule.Protocol)) return false;
  return true;
}

bool TransportMatches(const FilterRule& rule, const FrameView& view) {
  if ((rule.Layers & FILTER_LAYER_TRANSPORT) == 0 || rule.TransportKind != FILTER_TRANSPORT_TCP_UDP) return true;
  if (!view.isTcpOrUdp) return false;
  const bool testsPorts = (rule.PortFields & (FILTER_PORT_SOURCE | FILTER_PORT_DESTINATION)) != 0;
  if (testsPorts && !view.hasPorts) return false;
  if ((rule.PortFields & FILTER_PORT_SOURCE) &&
      (view.sourcePort < rule.SourcePortFrom || view.sourcePort > rule.SourcePortTo)) {
    return false;
  }
  if ((rule.PortFields & FILTER_PORT_DESTINATION) &&
      (view.destinationPort < rule.DestinationPortFrom || view.destinationPort > rule.DestinationPortTo)) {
    return false;
  }
  return true;
}

bool RuleMatches(const FilterRule& rule, FilterModule* module, const PacketRecord* record, const FrameView& view) {
  if (rule.AdapterHandle != 0 && rule.AdapterHandle != ULONG64(reinterpret_cast<ULONG_PTR>(module))) return false;
  if ((rule.Directions & record->Direction) == 0) return false;
  return DataLinkMatches(rule, view) && NetworkMatches(rule, view) && TransportMatches(rule, view);
}

PUCHAR TakeTable() {
  AcquireKernelLock(&InstalledTable.Lock);
  PUCHAR table = InstalledTable.Table;
  InstalledTable.Table = nullptr;
  ReleaseKernelLock(&InstalledTable.Lock);
  return table;
}

}  // namespace

void InitializeFilterTable() {
  InitializeKernelLock(&InstalledTable.Lock);
  InstalledTable.Table = nullptr;
}

ULONG ClassifyRecord(FilterModule* module, const PacketRecord* record) {
  ULONG verdict = FILTER_ACTION_DIVERT;
  AcquireKernelLock(&InstalledTable.Lock);
  PUCHAR table = InstalledTable.Table;
  if (table != nullptr) {
    const FrameView view = LookIntoFrame(record);
    const ULONG count = RuleCountOf(table);
    for (ULONG i = 0; i < count; ++i) {
      FilterRule* rule = RuleAt(table, i);
      if (RuleMatches(*rule, module, record, view)) {
        rule->Packets += 1;
        rule->Bytes += record->Length;
        verdict = rule->Action;
        break;
      }
    }
  }
  ReleaseKernelLock(&InstalledTable.Lock);
  return verdict;
}

NTSTATUS InstallFilterTable(const void* input, ULONG inputLength) {
  if (input == nullptr || inputLength < FILTER_TABLE_HEADER_SIZE) return STATUS_INVALID_PARAMETER;
  const auto* source = static_cast<const UCHAR*>(input);
  const ULONG count = RuleCountOf(source);
  if (count == 0 || count > (inputLength - FILTER_TABLE_HEADER_SIZE) / sizeof(FilterRule)) {
    return STATUS_INVALID_PARAMETER;
  }
  // Every record must end up queued or back in the pool, so only the three
  // known actions are accepted.
  for (ULONG i = 0; i < count; ++i) {
    ULONG action;
    RtlCopyMemory(&action, source + FILTER_TABLE_HEADER_SIZE + i * sizeof(FilterRule) + offsetof(FilterRule, Action),
                  sizeof action);
    if (action != FILTER_ACTION_PASS && action != FILTER_ACTION_DROP && action != FILTER_ACTION_DIVERT) {
      return STATUS_INVALID_PARAMETER;
    }
  }
  const ULONG now = SecondsSince1980();
  const ULONG size = FilterTableSize(count);
  auto* table = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, size, TAG_DRIVER));
  if (table == nullptr) {
    // The previous table is given up as well: every classified frame is diverted.
    RemoveFilterTable();
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  RtlCopyMemory(table, source, size);
  ResetCounters(table, now);

  AcquireKernelLock(&InstalledTable.Lock);
  PUCHAR previous = InstalledTable.Table;
  InstalledTable.Table = table;
  ReleaseKernelLock(&InstalledTable.Lock);
  if (previous != nullptr) ExFreePoolWithTag(previous, TAG_DRIVER);
  return STATUS_SUCCESS;
}

void RemoveFilterTable() {
  PUCHAR table = TakeTable();
  if (table != nullptr) ExFreePoolWithTag(table, TAG_DRIVER);
}

ULONG InstalledRuleCount() {
  AcquireKernelLock(&InstalledTable.Lock);
  const ULONG count = InstalledTable.Table != nullptr ? RuleCountOf(InstalledTable.Table) : 0;
  ReleaseKernelLock(&InstalledTable.Lock);
  return count;
}

NTSTATUS ReadFilterTable(void* output, ULONG outputLength, bool resetCounters) {
  const ULONG now = resetCounters ? SecondsSince1980() : 0;
  NTSTATUS status = STATUS_SUCCESS;
  AcquireKernelLock(&InstalledTable.Lock);
  PUCHAR table = InstalledTable.Table;
  if (table == nullptr) {
    if (outputLength >= FILTER_TABLE_HEADER_SIZE) RtlZeroMemory(output, FILTER_TABLE_HEADER_SIZE);
  } else {
    const ULONG size = FilterTableSize(RuleCountOf(table));
    if (outputLength < size) {
      status = STATUS_INVALID_PARAMETER;
    } else {
      RtlCopyMemory(output, table, size);
      if (resetCounters) ResetCounters(table, now);
    }
  }
  ReleaseKernelLock(&InstalledTable.Lock);
  return status;
}

}  // namespace zl::driver
