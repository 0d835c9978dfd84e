#include "shared/netquery/host_queries.h"

#include <gtest/gtest.h>

#include "shared/netquery/adapter_queries.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"

namespace zl::netquery {
namespace {

namespace machine = platform::machine;

const std::vector<std::uint8_t> kPhoneMac{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};

TEST(HostQueriesTest, PresentClientAnswersAddressResolution) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(machine::SetClient({kPhoneMac, "192.168.137.23", "android-phone", true}));
  EXPECT_EQ(GetMACAddressByIP("192.168.137.23"), "0A-1B-2C-3D-4E-5F");
  EXPECT_TRUE(HasMACAddress("192.168.137.23"));
  EXPECT_EQ(GetHostNameByIP("192.168.137.23"), "android-phone");
}

TEST(HostQueriesTest, SilentAddressGivesEmptyTextNeverALoneDash) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(machine::SetClient({kPhoneMac, "192.168.137.23", "android-phone", false}));
  const struct {
    const char* address;
  } rows[] = {{"192.168.137.23"}, {"192.168.137.99"}, {"not an address"}, {""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.address);
    EXPECT_EQ(GetMACAddressByIP(row.address), "");
    EXPECT_FALSE(HasMACAddress(row.address));
    EXPECT_EQ(GetHostNameByIP(row.address), "");
  }
}

TEST(HostQueriesTest, ClientComingAndGoingIsSeenAtEachCall) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(machine::SetClient({kPhoneMac, "192.168.137.23", "", true}));
  EXPECT_TRUE(HasMACAddress("192.168.137.23"));
  ASSERT_TRUE(machine::SetClientPresent(kPhoneMac, false));
  EXPECT_FALSE(HasMACAddress("192.168.137.23"));
}

TEST(HostQueriesTest, ReverseLookupAnswersFromTheHostTable) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(machine::SetHostName("192.168.137.40", "laptop.local"));
  EXPECT_EQ(GetHostNameByIP("192.168.137.40"), "laptop.local");
  EXPECT_EQ(GetHostNameByIP("127.0.0.1"), "localhost");
  ASSERT_TRUE(machine::RemoveHostName("192.168.137.40"));
  EXPECT_EQ(GetHostNameByIP("192.168.137.40"), "");
}

TEST(HostQueriesTest, SamePhysicalAddressGivesTheSameTextFromBothRoutines) {
  test::EmulatedMachine machine;
  machine::AdapterRecord adapter;
  adapter.connectionName = "Kabel";
  adapter.type = 6;
  adapter.mac = kPhoneMac;
  adapter.addresses = {"10.0.0.7"};
  ASSERT_TRUE(machine::AddAdapter(adapter));
  // The machine answers resolution of its own address with the adapter's MAC.
  EXPECT_EQ(GetMACAddressByIP("10.0.0.7"), "0A-1B-2C-3D-4E-5F");
}

}  // namespace
}  // namespace zl::netquery
