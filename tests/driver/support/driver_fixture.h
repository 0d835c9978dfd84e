// A fresh kernel host per test with the vorlanex driver loaded on it, and the
// frames the tests send through it.
#pragma once

#include <gtest/gtest.h>
#include <ndis.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/datapath/packet_queue.h"
#include "driver/datapath/packet_record.h"
#include "driver/datapath/record_pool.h"
#include "driver/entry/driver_state.h"
#include "driver/entry/pool_tags.h"
#include "driver/filtertable/filter_table.h"
#include "driver/modules/filter_module.h"
#include "driver/modules/module_list.h"
#include "shared/support/clock.h"
#include "zl/ndishost/kernel_host.h"

namespace zl::drivertest {

using Bytes = std::vector<std::uint8_t>;
using Mac = std::array<std::uint8_t, 6>;

inline constexpr Mac kAdapterMac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
inline constexpr Mac kClientMac = {0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
inline constexpr Mac kBroadcast = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// An Ethernet frame of the given total size; the payload counts up from 0.
Bytes EthernetFrame(const Mac& destination, const Mac& source, std::uint16_t type, std::size_t totalSize);
// An Ethernet frame carrying IPv4 with a 20-byte header and, for TCP (6) and
// UDP (17), the two ports; padded with counting bytes to totalSize.
Bytes Ipv4Frame(std::array<std::uint8_t, 4> source, std::array<std::uint8_t, 4> destination, std::uint8_t protocol,
                std::uint16_t sourcePort, std::uint16_t destinationPort, std::size_t totalSize = 64);

// A rule that applies to every adapter in the given directions, nothing else set.
zl::driver::FilterRule MakeRule(ULONG directions, ULONG action);
// The wire form of a table: count, then the rules.
Bytes TableOf(const std::vector<zl::driver::FilterRule>& rules);

// One list with one frame per entry.
zl::ndishost::ListShape OneList(std::vector<Bytes> frames);
std::vector<zl::ndishost::ListShape> Chain(std::vector<Bytes> framesOnePerList);

zl::ndishost::AdapterConfig AdapterNamed(const std::string& guid, NDIS_MEDIUM medium = NdisMedium802_3,
                                         std::vector<std::uint8_t> mac = {kAdapterMac.begin(), kAdapterMac.end()});

class DriverTest : public ::testing::Test {
 protected:
  DriverTest();
  ~DriverTest() override;
  void TearDown() override;

  // Loads the driver; expects success unless told otherwise.
  NTSTATUS LoadDriver(bool expectSuccess = true);
  void UnloadDriver();
  // Unloads and checks that every pool tag is back at zero and the host saw
  // nothing wrong.
  void UnloadAndExpectClean();

  zl::ndishost::EmulatedAdapter& AddAdapter(const std::string& guid = "{00000000-0000-0000-0000-0000000000A1}",
                                             NDIS_MEDIUM medium = NdisMedium802_3);
  static zl::driver::FilterModule* ModuleOf(zl::ndishost::EmulatedAdapter& adapter);
  static void SetMode(zl::ndishost::EmulatedAdapter& adapter, ULONG mode);
  static ULONG Queued(zl::ndishost::EmulatedAdapter& adapter);
  // Records in every queue of the ModuleList.
  static ULONG QueuedEverywhere();
  // Records in the pool and in queues together: 500 at every quiet point.
  static void ExpectRecordsConserved();
  // The oldest queued record's frame (the record goes back to the pool).
  static Bytes DequeueFrame(zl::ndishost::EmulatedAdapter& adapter, ULONG* direction = nullptr);

  static std::vector<Bytes> FramesOf(const std::vector<zl::ndishost::DeliveredFrame>& frames);

  zl::VirtualClock clock_;
  zl::ndishost::KernelHost host_{clock_};
  bool loaded_ = false;
};

}  // namespace zl::drivertest
