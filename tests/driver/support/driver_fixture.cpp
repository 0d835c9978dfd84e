#include "tests/driver/support/driver_fixture.h"

#include <cstring>

namespace zl::drivertest {

using zl::ndishost::AdapterConfig;
using zl::ndishost::EmulatedAdapter;
using zl::ndishost::ListShape;

Bytes EthernetFrame(const Mac& destination, const Mac& source, std::uint16_t type, std::size_t totalSize) {
  Bytes frame(destination.begin(), destination.end());
  frame.insert(frame.end(), source.begin(), source.end());
  frame.push_back(std::uint8_t(type >> 8));
  frame.push_back(std::uint8_t(type));
  for (std::size_t i = 0; frame.size() < totalSize; ++i) frame.push_back(std::uint8_t(i));
  frame.resize(totalSize);
  return frame;
}

Bytes Ipv4Frame(std::array<std::uint8_t, 4> source, std::array<std::uint8_t, 4> destination, std::uint8_t protocol,
                std::uint16_t sourcePort, std::uint16_t destinationPort, std::size_t totalSize) {
  Bytes frame = EthernetFrame(kAdapterMac, kClientMac, 0x0800, 14);
  Bytes ip(20, 0);
  ip[0] = 0x45;
  const std::size_t ipLength = totalSize - 14;
  ip[2] = std::uint8_t(ipLength >> 8);
  ip[3] = std::uint8_t(ipLength);
  ip[8] = 64;
  ip[9] = protocol;
  std::copy(source.begin(), source.end(), ip.begin() + 12);
  std::copy(destination.begin(), destination.end(), ip.begin() + 16);
  frame.insert(frame.end(), ip.begin(), ip.end());
  if (protocol == 6 || protocol == 17) {
    frame.push_back(std::uint8_t(sourcePort >> 8));
    frame.push_back(std::uint8_t(sourcePort));
    frame.push_back(std::uint8_t(destinationPort >> 8));
    frame.push_back(std::uint8_t(destinationPort));
  }
  for (std::size_t i = 0; frame.size() < totalSize; ++i) frame.push_back(std::uint8_t(i));
  frame.resize(totalSize);
  return frame;
}

zl::driver::FilterRule MakeRule(ULONG directions, ULONG action) {
  zl::driver::FilterRule rule{};
  rule.Directions = directions;
  rule.Action = action;
  return rule;
}

Bytes TableOf(const std::vector<zl::driver::FilterRule>& rules) {
  Bytes table(zl::driver::FilterTableSize(ULONG(rules.size())));
  const ULONG count = ULONG(rules.size());
  std::memcpy(table.data(), &count, 4);
  if (!rules.empty()) std::memcpy(table.data() + 4, rules.data(), rules.size() * sizeof(zl::driver::FilterRule));
  return table;
}

ListShape OneList(std::vector<Bytes> frames) {
  ListShape list;
  for (Bytes& bytes : frames) list.frames.push_back({std::move(bytes)});
  return list;
}

std::vector<ListShape> Chain(std::vector<Bytes> framesOnePerList) {
  std::vector<ListShape> chain;
  for (Bytes& bytes : framesOnePerList) chain.push_back(OneList({std::move(bytes)}));
  return chain;
}

AdapterConfig AdapterNamed(const std::string& guid, NDIS_MEDIUM medium, std::vector<std::uint8_t> mac) {
  AdapterConfig config;
  config.deviceName = "\\DEVICE\\" + guid;
  config.medium = medium;
  config.macAddress = std::move(mac);
  return config;
}

DriverTest::DriverTest() = default;

DriverTest::~DriverTest() = default;

void DriverTest::TearDown() {
  if (loaded_) UnloadAndExpectClean();
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{});
}

NTSTATUS DriverTest::LoadDriver(bool expectSuccess) {
  const NTSTATUS status = host_.LoadDriver(DriverEntry);
  loaded_ = NT_SUCCESS(status);
  if (expectSuccess) {
    EXPECT_EQ(status, STATUS_SUCCESS);
  }
  return status;
}

void DriverTest::UnloadDriver() {
  host_.UnloadDriver();
  loaded_ = false;
}

void DriverTest::UnloadAndExpectClean() {
  UnloadDriver();
  EXPECT_EQ(host_.Pools().Leaks(), std::vector<std::string>{});
  EXPECT_EQ(host_.Violations(), std::vector<std::string>{});
}

EmulatedAdapter& DriverTest::AddAdapter(const std::string& guid, NDIS_MEDIUM medium) {
  return host_.AddAdapter(AdapterNamed(guid, medium));
}

zl::driver::FilterModule* DriverTest::ModuleOf(EmulatedAdapter& adapter) {
  return static_cast<zl::driver::FilterModule*>(adapter.ModuleContext());
}

void DriverTest::SetMode(EmulatedAdapter& adapter, ULONG mode) {
  zl::driver::SetModeFlags(&ModuleOf(adapter)->Queue, mode);
}

ULONG DriverTest::Queued(EmulatedAdapter& adapter) { return zl::driver::QueuedRecordCount(&ModuleOf(adapter)->Queue); }

ULONG DriverTest::QueuedEverywhere() {
  ULONG queued = 0;
  zl::driver::AcquireModuleList();
  for (PLIST_ENTRY entry = zl::driver::FirstModuleEntry(); entry != zl::driver::ModuleListEnd();
       entry = entry->Flink) {
    queued += zl::driver::QueuedRecordCount(&zl::driver::ModuleFromLink(entry)->Queue);
  }
  zl::driver::ReleaseModuleList();
  return queued;
}

void DriverTest::ExpectRecordsConserved() {
  EXPECT_EQ(zl::driver::FreeRecordCount() + QueuedEverywhere(), zl::driver::RECORD_POOL_SIZE);
}

Bytes DriverTest::DequeueFrame(EmulatedAdapter& adapter, ULONG* direction) {
  zl::driver::PacketRecord* record = zl::driver::DequeueRecord(&ModuleOf(adapter)->Queue);
  if (record == nullptr) return {};
  Bytes frame(record->Frame, record->Frame + record->Length);
  if (direction != nullptr) *direction = record->Direction;
  zl::driver::ReturnRecord(record);
  return frame;
}

std::vector<Bytes> DriverTest::FramesOf(const std::vector<zl::ndishost::DeliveredFrame>& frames) {
  std::vector<Bytes> bytes;
  for (const auto& frame : frames) bytes.push_back(frame.bytes);
  return bytes;
}

}  // namespace zl::drivertest
