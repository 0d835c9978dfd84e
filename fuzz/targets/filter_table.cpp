// The driver's static filter table with arbitrary rules, judging arbitrary
// frames. Checked per input:
//  - a table is refused (count 0, input shorter than its rules, an action
//    other than pass, drop or divert) with the installed table kept, or
//    installed whole and read back rule for rule with fresh counters;
//  - a verdict is pass, drop or divert, divert without a table;
//  - the verdict depends on nothing past the record's length (the bytes
//    behind it are changed and the frame judged again);
//  - the first matching rule counts the frame: exactly one rule's counters
//    move, by one frame and its length, or none and the verdict is divert;
//  - a catch-all rule appended to the table changes only verdicts no rule
//    gave; reading with reset zeroes the counters.
// After each input the table is removed and the pool holds nothing.
//
// Input: flags, the table's length (16 bits), the table (count, rules), then
// frames: direction, length (16 bits; beyond 1514 is clamped by the driver),
// bytes. An AdapterHandle of kModulePlaceholder stands for the module judged.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "driver/datapath/packet_record.h"
#include "driver/filtertable/filter_table.h"
#include "fuzz/fuzz_support.h"
#include "shared/support/clock.h"
#include "zl/ndishost/kernel_host.h"

namespace {

namespace drv = zl::driver;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint64_t kModulePlaceholder = 0xADA0ADA0ADA00000;
constexpr std::size_t kMaxFrames = 16;

struct Bench {
  zl::VirtualClock clock;
  zl::ndishost::KernelHost host{clock};
  drv::FilterModule module{};  // only its address matters to the rules
  Bench() { drv::InitializeFilterTable(); }
};

Bench* bench = nullptr;

std::vector<drv::FilterRule> ReadTable() {
  const ULONG count = drv::InstalledRuleCount();
  Bytes bytes(drv::FilterTableSize(count));
  ZL_FUZZ_CHECK(drv::ReadFilterTable(bytes.data(), ULONG(bytes.size()), false) == STATUS_SUCCESS);
  ULONG read;
  std::memcpy(&read, bytes.data(), 4);
  ZL_FUZZ_CHECK(read == count);
  std::vector<drv::FilterRule> rules(count);
  if (count) std::memcpy(rules.data(), bytes.data() + 4, count * sizeof(drv::FilterRule));
  return rules;
}

bool SameRuleApartFromCounters(drv::FilterRule a, drv::FilterRule b) {
  a.Timestamp = b.Timestamp = 0;
  a.Packets = b.Packets = 0;
  a.Bytes = b.Bytes = 0;
  return std::memcmp(&a, &b, sizeof a) == 0;
}

Bytes TableBytes(const std::vector<drv::FilterRule>& rules) {
  Bytes bytes(drv::FilterTableSize(ULONG(rules.size())));
  const ULONG count = ULONG(rules.size());
  std::memcpy(bytes.data(), &count, 4);
  if (count) std::memcpy(bytes.data() + 4, rules.data(), count * sizeof(drv::FilterRule));
  return bytes;
}

// Installs the given table; returns whether it was taken, checking that a
// refused one left the installed table as it was.
bool Install(const Bytes& table) {
  const std::vector<drv::FilterRule> before = ReadTable();
  const NTSTATUS status = drv::InstallFilterTable(table.data(), ULONG(table.size()));
  ULONG count = 0;
  if (table.size() >= 4) std::memcpy(&count, table.data(), 4);
  bool acceptable = table.size() >= 4 && count != 0 && count <= (table.size() - 4) / sizeof(drv::FilterRule);
  for (ULONG i = 0; acceptable && i < count; ++i) {
    drv::FilterRule rule;
    std::memcpy(&rule, table.data() + 4 + i * sizeof rule, sizeof rule);
    acceptable = rule.Action >= drv::FILTER_ACTION_PASS && rule.Action <= drv::FILTER_ACTION_DIVERT;
  }
  ZL_FUZZ_CHECK(NT_SUCCESS(status) == acceptable);
  const std::vector<drv::FilterRule> after = ReadTable();
  if (!acceptable) {
    ZL_FUZZ_CHECK(after.size() == before.size());
    for (std::size_t i = 0; i < after.size(); ++i) ZL_FUZZ_CHECK(SameRuleApartFromCounters(after[i], before[i]));
    return false;
  }
  ZL_FUZZ_CHECK(after.size() == count);
  for (ULONG i = 0; i < count; ++i) {
    drv::FilterRule given;
    std::memcpy(&given, table.data() + 4 + i * sizeof given, sizeof given);
    ZL_FUZZ_CHECK(SameRuleApartFromCounters(after[i], given));
    ZL_FUZZ_CHECK(after[i].Packets == 0 && after[i].Bytes == 0);
  }
  return true;
}

ULONG Judge(drv::PacketRecord& record, std::uint8_t tailByte) {
  const ULONG length = record.Length;  // a packed field: copied, not referred to
  const ULONG used = std::min<ULONG>(length, drv::MAX_FRAME_SIZE);
  std::fill(record.Frame + used, record.Frame + drv::MAX_FRAME_SIZE, tailByte);
  return drv::ClassifyRecord(&bench->module, &record);
}

void CheckFrame(drv::PacketRecord& record) {
  const bool haveTable = drv::InstalledRuleCount() != 0;
  const std::vector<drv::FilterRule> before = ReadTable();
  const ULONG verdict = Judge(record, 0x00);
  ZL_FUZZ_CHECK(verdict >= drv::FILTER_ACTION_PASS && verdict <= drv::FILTER_ACTION_DIVERT);
  if (!haveTable) ZL_FUZZ_CHECK(verdict == drv::FILTER_ACTION_DIVERT);
  const std::vector<drv::FilterRule> after = ReadTable();
  std::size_t moved = 0;
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (after[i].Packets == before[i].Packets) {
      ZL_FUZZ_CHECK(after[i].Bytes == before[i].Bytes);
      continue;
    }
    ++moved;
    ZL_FUZZ_CHECK(after[i].Packets == before[i].Packets + 1);
    const ULONG length = record.Length;
    ZL_FUZZ_CHECK(after[i].Bytes == before[i].Bytes + length);
    ZL_FUZZ_CHECK(after[i].Action == verdict);
  }
  ZL_FUZZ_CHECK(moved <= 1);
  if (moved == 0) ZL_FUZZ_CHECK(verdict == drv::FILTER_ACTION_DIVERT);
  // Nothing behind the frame's length counts.
  ZL_FUZZ_CHECK(Judge(record, 0xFF) == verdict);
  ZL_FUZZ_CHECK(Judge(record, 0x45) == verdict);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  bench = new Bench;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zl::fuzz::InputReader input(data, size);
  const std::uint8_t flags = input.Byte();
  const std::size_t tableLength = input.Take<std::uint16_t>();
  const auto tableSpan = input.Bytes(tableLength);
  Bytes table(tableSpan.begin(), tableSpan.end());
  for (std::size_t offset = 4 + offsetof(drv::FilterRule, AdapterHandle); offset + 8 <= table.size();
       offset += sizeof(drv::FilterRule)) {
    std::uint64_t handle;
    std::memcpy(&handle, table.data() + offset, 8);
    if (handle == kModulePlaceholder) {
      handle = reinterpret_cast<std::uintptr_t>(&bench->module);
      std::memcpy(table.data() + offset, &handle, 8);
    }
  }
  if (flags & 1) Install(table);  // a table judged as the installed one's predecessor

  std::vector<drv::PacketRecord> frames;
  while (!input.Empty() && frames.size() < kMaxFrames) {
    auto record = std::make_unique<drv::PacketRecord>();
    std::memset(record.get(), 0, sizeof *record);
    record->Direction = input.Byte() & 3;
    const ULONG length = input.Take<std::uint16_t>();
    record->Length = length;
    const auto bytes = input.Bytes(std::min<ULONG>(length, drv::MAX_FRAME_SIZE));
    std::memcpy(record->Frame, bytes.data(), bytes.size());
    frames.push_back(*record);
  }

  Install(table);
  std::vector<ULONG> verdicts;
  for (auto& frame : frames) {
    CheckFrame(frame);
    verdicts.push_back(Judge(frame, 0));
  }

  // A catch-all rule at the end decides only what no rule decided.
  std::vector<drv::FilterRule> rules = ReadTable();
  if (!rules.empty() && rules.size() < 4096) {
    drv::FilterRule all{};
    all.Directions = 3;
    all.Action = drv::FILTER_ACTION_PASS;
    rules.push_back(all);
    ZL_FUZZ_CHECK(Install(TableBytes(rules)));
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const ULONG verdict = Judge(frames[i], 0);
      const ULONG direction = frames[i].Direction;
      const bool directed = (direction & 3) != 0;
      ZL_FUZZ_CHECK(verdict == verdicts[i] || (verdict == drv::FILTER_ACTION_PASS && directed));
    }
    Bytes out(drv::FilterTableSize(ULONG(rules.size())));
    ZL_FUZZ_CHECK(drv::ReadFilterTable(out.data(), ULONG(out.size()), true) == STATUS_SUCCESS);
    for (const auto& rule : ReadTable()) ZL_FUZZ_CHECK(rule.Packets == 0 && rule.Bytes == 0);
    if (out.size() > 4) {
      ZL_FUZZ_CHECK(drv::ReadFilterTable(out.data(), ULONG(out.size() - 1), false) == STATUS_INVALID_PARAMETER);
    }
  }

  drv::RemoveFilterTable();
  ZL_FUZZ_CHECK(drv::InstalledRuleCount() == 0);
  ZL_FUZZ_CHECK(bench->host.Pools().OutstandingTotal() == 0);
  ZL_FUZZ_CHECK(bench->host.Violations().empty());
  return 0;
}
