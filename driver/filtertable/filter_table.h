// The static filter table: one driver-wide table of rules, installed by a
// client, that decides per classified frame whether it passes, is dropped or is
// diverted into the adapter's queue. The first matching rule decides and counts
// the frame; with no table or no match the verdict is divert.
#pragma once

#include <ndis.h>

#include "driver/control/vorlanex_interface.h"
#include "driver/datapath/packet_record.h"
#include "driver/modules/filter_module.h"

namespace zl::driver {

constexpr ULONG FILTER_ACTION_PASS = 1;
constexpr ULONG FILTER_ACTION_DROP = 2;
constexpr ULONG FILTER_ACTION_DIVERT = 3;

// Rule part selectors.
constexpr ULONG FILTER_LAYER_DATA_LINK = 0x1;
constexpr ULONG FILTER_LAYER_NETWORK = 0x2;
constexpr ULONG FILTER_LAYER_TRANSPORT = 0x4;
constexpr ULONG FILTER_DATA_LINK_ETHERNET = 1;
constexpr ULONG FILTER_ETH_SOURCE = 0x1;
constexpr ULONG FILTER_ETH_DESTINATION = 0x2;
constexpr ULONG FILTER_ETH_TYPE = 0x4;
constexpr ULONG FILTER_NETWORK_IPV4 = 1;
constexpr ULONG FILTER_IPV4_SOURCE = 0x1;
constexpr ULONG FILTER_IPV4_DESTINATION = 0x2;
constexpr ULONG FILTER_IPV4_PROTOCOL = 0x4;
constexpr ULONG FILTER_ADDRESS_SUBNET = 1;
constexpr ULONG FILTER_ADDRESS_RANGE = 2;
constexpr ULONG FILTER_TRANSPORT_TCP_UDP = 1;
constexpr ULONG FILTER_PORT_SOURCE = 0x1;
constexpr ULONG FILTER_PORT_DESTINATION = 0x2;

using zl::vorlanex::FILTER_TABLE_HEADER_SIZE;  // the rule count
using zl::vorlanex::FilterRule;

constexpr ULONG FilterTableSize(ULONG count) { return FILTER_TABLE_HEADER_SIZE + count * sizeof(FilterRule); }

void InitializeFilterTable();

// The verdict for a record: the first matching rule's action (its counters
// raised), or divert.
ULONG ClassifyRecord(FilterModule* module, const PacketRecord* record);

// Installs a copy of the client's table (count, then the rules). Fails, leaving
// the installed table in place, when the count is 0, the input is shorter than
// the rules it announces, or a rule's action is not pass, drop or divert; fails
// with no table installed when memory for the new one cannot be had.
NTSTATUS InstallFilterTable(const void* input, ULONG inputLength);
// Removes the installed table, if any.
void RemoveFilterTable();
// The number of rules installed, 0 without a table.
ULONG InstalledRuleCount();
// Copies the table out (count 0 without a table); with resetCounters, the
// rules' counters start again from zero at the current time afterwards. Fails
// when the output cannot hold the table.
NTSTATUS ReadFilterTable(void* output, ULONG outputLength, bool resetCounters);

// Whole seconds since 1980-01-01 00:00:00.
ULONG SecondsSince1980();

}  // namespace zl::driver
