// Loading the wireless LAN library by name and finding its entry points.
#include <gtest/gtest.h>

#include "tests/platform/contract/contract_environment.h"
#include "zl/platform/dynamic_library.h"
#include "zl/platform/wlan_api.h"

namespace zl::platform {
namespace {

TEST(LibraryContract, ASystemLibraryLoadsAndAMissingExportIsNull) {
  contract::MachineScope machine;
  LibraryHandle library = LoadLibraryByName(kWlanLibraryName);
  ASSERT_NE(library, nullptr);
  for (const char* name : {"WlanOpenHandle", "WlanCloseHandle", "WlanFreeMemory", "WlanHostedNetworkQueryStatus"}) {
    EXPECT_NE(FindEntryPoint(library, name), nullptr) << name;
  }
  EXPECT_EQ(FindEntryPoint(library, "WlanNoSuchEntryPoint"), nullptr);
  EXPECT_EQ(FindEntryPoint(nullptr, "WlanOpenHandle"), nullptr);
  FreeLibraryHandle(library);
}

TEST(LibraryContract, AMissingLibraryIsNotLoaded) {
  contract::MachineScope machine;
  EXPECT_EQ(LoadLibraryByName("ZlNoSuchLibrary.dll"), nullptr);
}

TEST(LibraryContract, TheHostedNetworkStatusIsQueried) {
  contract::MachineScope machine;
  LibraryHandle library = LoadLibraryByName(kWlanLibraryName);
  ASSERT_NE(library, nullptr);
  auto open = reinterpret_cast<WlanOpenHandleFunction>(FindEntryPoint(library, "WlanOpenHandle"));
  auto query = reinterpret_cast<WlanHostedNetworkQueryStatusFunction>(FindEntryPoint(library, "WlanHostedNetworkQueryStatus"));
  auto release = reinterpret_cast<WlanFreeMemoryFunction>(FindEntryPoint(library, "WlanFreeMemory"));
  auto close = reinterpret_cast<WlanCloseHandleFunction>(FindEntryPoint(library, "WlanCloseHandle"));
  ASSERT_TRUE(open && query && release && close);
  std::uint32_t negotiated = 0;
  WlanClientHandle client = nullptr;
  const std::uint32_t opened = open(2, nullptr, &negotiated, &client);
  if (opened != 0) {
    FreeLibraryHandle(library);
    GTEST_SKIP() << "the wireless LAN service is not available here (WlanOpenHandle: " << opened << ")";
  }
  WlanHostedNetworkStatus* status = nullptr;
  const std::uint32_t queried = query(client, &status, nullptr);
  close(client, nullptr);
  if (queried != 0 || status == nullptr) {
    FreeLibraryHandle(library);
    GTEST_SKIP() << "this machine has no hosted network (WlanHostedNetworkQueryStatus: " << queried << ")";
  }
  EXPECT_GE(status->hostedNetworkState, kWlanHostedNetworkUnavailable);
  EXPECT_LE(status->hostedNetworkState, kWlanHostedNetworkActive);
  release(status);
  FreeLibraryHandle(library);
}

}  // namespace
}  // namespace zl::platform
