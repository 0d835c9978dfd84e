// The three adapter-name conversions against the default machine's adapters.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/emulated_machine.h"
#include "vorlanexapi/adapter_names.h"

namespace zl::vorlanexapi {
namespace {

constexpr const char* kLanDevice = "\\DEVICE\\{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}";

class AdapterNamesTest : public ::testing::Test {
 protected:
  test::EmulatedMachine machine_;
};

TEST_F(AdapterNamesTest, Windows2000NamesAreTheConnectionNames) {
  char name[64];
  ASSERT_TRUE(ConnectionNameOf(kLanDevice, name, sizeof name));
  EXPECT_STREQ(name, "LAN-Verbindung");
  ASSERT_TRUE(ConnectionNameOf("\\DEVICE\\{7A2B9C1D-4E3F-4A5B-8C6D-1E2F3A4B5C6D}", name, sizeof name));
  EXPECT_STREQ(name, "Drahtlosnetzwerkverbindung");
}

TEST_F(AdapterNamesTest, NoNameOrNoRoomAnswersFalseAndWritesNothing) {
  struct Case {
    const char* device;
    std::uint32_t size;
  };
  const Case cases[] = {
      {kLanDevice, 14},  // "LAN-Verbindung" needs 15 bytes with its NUL
      {"\\DEVICE\\{00000000-0000-0000-0000-000000000000}", 64},  // no such connection
      {"\\DEVICE\\NdisWanIp", 64},  // not a GUID
      {"", 64},
      {nullptr, 64},
  };
  for (const Case& c : cases) {
    char name[64];
    std::memset(name, '#', sizeof name);
    EXPECT_FALSE(ConnectionNameOf(c.device, name, c.size)) << (c.device ? c.device : "null");
    EXPECT_EQ(name[0], '#');
  }
  char exact[15];
  EXPECT_TRUE(ConnectionNameOf(kLanDevice, exact, sizeof exact));
}

TEST_F(AdapterNamesTest, EarlierSystemsNameTheAdapterByTheDeviceNamesLastPart) {
  char name[64];
  ASSERT_TRUE(DeviceComponentOf(kLanDevice, name, sizeof name));
  EXPECT_STREQ(name, "{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}");
  ASSERT_TRUE(DeviceComponentOf("\\DEVICE\\El90x1", name, sizeof name));
  EXPECT_STREQ(name, "El90x1");
  EXPECT_FALSE(DeviceComponentOf("\\DEVICE\\", name, sizeof name));
  EXPECT_FALSE(DeviceComponentOf("\\DEVICE\\El90x1", name, 6));
}

}  // namespace
}  // namespace zl::vorlanexapi
