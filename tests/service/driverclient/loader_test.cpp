#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "service/driverclient/packet_driver_api.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/dynamic_library.h"
#include "zl/platform/machine_state.h"

namespace zl::driverclient {
namespace {

// The exports in the order of the table.
constexpr const char* kTableOrder[] = {
    "OpenFilterDriver", "CloseFilterDriver", "GetDriverVersion", "GetTcpipBoundAdaptersInfo", "SendPacketToMstcp",
    "SendPacketToAdapter", "ReadPacket", "SendPacketsToMstcp", "SendPacketsToAdapter", "ReadPackets",
    "SetAdapterMode", "GetAdapterMode", "FlushAdapterPacketQueue", "GetAdapterPacketQueueSize", "SetPacketEvent",
    "SetWANEvent", "SetAdapterListChangeEvent", "VorlanexRequest", "GetRasLinks", "SetHwPacketFilter",
    "GetHwPacketFilter", "SetMTUDecrement", "GetMTUDecrement", "SetAdaptersStartupMode", "GetAdaptersStartupMode",
    "IsDriverLoaded", "GetBytesReturned", "SetPacketFilterTable", "GetPacketFilterTable",
    "GetPacketFilterTableResetStats", "ResetPacketFilterTable", "GetPacketFilterTableSize",
    "ConvertWindowsNTAdapterName", "ConvertWindows2000AdapterName", "ConvertWindows9xAdapterName"};
static_assert(sizeof kTableOrder / sizeof kTableOrder[0] == 35);

// The table's entries, in order, as plain addresses.
std::vector<void*> Entries() {
  std::vector<void*> entries(35);
  std::memcpy(entries.data(), &PacketDriver, sizeof PacketDriver);
  return entries;
}

bool Mapped(const std::string& path) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find(path) != std::string::npos) return true;
  }
  return false;
}

class LoaderTest : public ::testing::Test {
 protected:
  void TearDown() override { UnloadPacketDriverApi(); }

  static std::string SystemLibrary() { return platform::machine::SystemFolder() + "/VorlanexApi.dll"; }
  static std::string Standin(const std::string& variant) {
    return std::string(ZL_STANDIN_FOLDER) + "/" + variant + "/VorlanexApi.dll";
  }
  // Puts the library at `path` into the machine's system folder in place of whatever was there.
  static void Install(const std::string& path) {
    unlink(SystemLibrary().c_str());
    ASSERT_EQ(symlink(path.c_str(), SystemLibrary().c_str()), 0);
  }

  static void ExpectRefused() {
    try {
      LoadPacketDriverApi();
      FAIL() << "the library was accepted";
    } catch (const PacketDriverLoadError& error) {
      EXPECT_STREQ(error.what(), "Cannot load library \"VORLANEXAPI.DLL\"");
    }
    EXPECT_FALSE(PacketDriverApiLoaded());
    for (void* entry : Entries()) EXPECT_EQ(entry, nullptr);
  }

  test::EmulatedMachine machine_;
};

TEST_F(LoaderTest, FillsTheTableInExportOrderAndLoadsOnlyOnce) {
  Install(Standin("complete"));
  LoadPacketDriverApi();
  ASSERT_TRUE(PacketDriverApiLoaded());

  platform::LibraryHandle same = platform::LoadLibraryByName("VorlanexApi.dll");
  ASSERT_NE(same, nullptr);
  const std::vector<void*> entries = Entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i], platform::FindEntryPoint(same, kTableOrder[i])) << kTableOrder[i];
    EXPECT_NE(entries[i], nullptr) << kTableOrder[i];
  }
  platform::FreeLibraryHandle(same);

  // A second load changes nothing, even with another library in place now.
  Install(Standin("without_ras_links"));
  LoadPacketDriverApi();
  EXPECT_EQ(Entries(), entries);
}

TEST_F(LoaderTest, UnloadEmptiesTheTableAndReleasesTheLibrary) {
  const std::string path = Standin("complete");
  Install(path);
  LoadPacketDriverApi();
  ASSERT_TRUE(Mapped(path));
  UnloadPacketDriverApi();
  EXPECT_FALSE(PacketDriverApiLoaded());
  for (void* entry : Entries()) EXPECT_EQ(entry, nullptr);
  EXPECT_FALSE(Mapped(path));
  UnloadPacketDriverApi();  // nothing loaded: nothing to do

  LoadPacketDriverApi();  // and it can be loaded again
  EXPECT_NE(PacketDriver.ReadPacket, nullptr);
}

TEST_F(LoaderTest, AMachineWithoutTheLibraryRaisesTheLoadError) {
  unlink(SystemLibrary().c_str());
  ExpectRefused();
}

TEST_F(LoaderTest, ALibraryWithoutAnExportTheServiceCallsIsRefusedAndReleased) {
  const std::string path = Standin("without_read_packet");
  Install(path);
  ExpectRefused();
  EXPECT_FALSE(Mapped(path));
}

TEST_F(LoaderTest, AnExportTheServiceDoesNotCallMayBeMissing) {
  Install(Standin("without_ras_links"));
  LoadPacketDriverApi();
  EXPECT_TRUE(PacketDriverApiLoaded());
  EXPECT_EQ(PacketDriver.GetRasLinks, nullptr);
  EXPECT_NE(PacketDriver.GetHwPacketFilter, nullptr);
  EXPECT_NE(PacketDriver.ReadPacket, nullptr);
}

TEST_F(LoaderTest, TheBuiltLibraryIsFoundByNameAndHasEveryExport) {
  LoadPacketDriverApi();
  ASSERT_TRUE(PacketDriverApiLoaded());
  for (std::size_t i = 0; i < 35; ++i) EXPECT_NE(Entries()[i], nullptr) << kTableOrder[i];
  // No driver runs on this machine: the control device cannot be opened.
  HANDLE driver = PacketDriver.OpenFilterDriver("VORLANEX");
  EXPECT_FALSE(PacketDriver.IsDriverLoaded(driver));
  EXPECT_EQ(PacketDriver.GetBytesReturned(driver), 0u);
  PacketDriver.CloseFilterDriver(driver);
}

}  // namespace
}  // namespace zl::driverclient
