// The driver's start parameters in its service key: written and read on the
// machine's registry, and seen by the driver when it next starts.
#include <gtest/gtest.h>

#include "tests/driver/support/driver_fixture.h"
#include "tests/support/emulated_machine.h"
#include "vorlanexapi/driver_parameters.h"
#include "zl/ndishost/host_registry.h"
#include "zl/platform/registry.h"

namespace zl::vorlanexapi {
namespace {

// The machine's registry as the kernel host's registry queries see it.
class MachineParameters final : public ndishost::ParameterProvider {
 public:
  bool KeyExists(const std::string& keyPath) const override {
    platform::RegistryKey key;
    return key.Open(keyPath, platform::kKeyQueryValue) == 0;
  }
  std::optional<ndishost::RegistryValue> ReadValue(const std::string& keyPath,
                                                   const std::string& valueName) const override {
    platform::RegistryKey key;
    platform::RegistryValue value;
    if (key.Open(keyPath, platform::kKeyQueryValue) != 0 || key.QueryValue(valueName, value) != 0) return std::nullopt;
    return ndishost::RegistryValue{value.type, std::vector<std::uint8_t>(value.data.begin(), value.data.end())};
  }
};

class DriverParametersTest : public drivertest::DriverTest {
 protected:
  DriverParametersTest() { host_.Registry().SetProvider(&parameters_); }
  ~DriverParametersTest() override { host_.Registry().SetProvider(nullptr); }

  test::EmulatedMachine machine_;
  MachineParameters parameters_;
};

TEST_F(DriverParametersTest, MissingParametersReadAsZero) {
  EXPECT_EQ(ReadDriverParameter(kMtuDecrementValue), 0u);
  EXPECT_EQ(ReadDriverParameter(kStartupModeValue), 0u);
}

TEST_F(DriverParametersTest, WrittenValuesAreReadBackEachByItsName) {
  ASSERT_TRUE(WriteDriverParameter(kMtuDecrementValue, 40));
  ASSERT_TRUE(WriteDriverParameter(kStartupModeValue, 0x03));
  EXPECT_EQ(ReadDriverParameter(kMtuDecrementValue), 40u);
  EXPECT_EQ(ReadDriverParameter(kStartupModeValue), 0x03u);

  platform::RegistryKey key;
  ASSERT_EQ(key.Open("SYSTEM\\CurrentControlSet\\Services\\VORLANEX\\Parameters", platform::kKeyQueryValue), 0u);
  platform::RegistryValue value;
  ASSERT_EQ(key.QueryValue("StartupMode", value), 0u);
  EXPECT_EQ(value.type, platform::kRegDword);
}

TEST_F(DriverParametersTest, AValueOfAnotherTypeReadsAsZeroAsTheDriverTakesIt) {
  platform::RegistryKey key;
  ASSERT_EQ(key.Create(kDriverParametersKey, platform::kKeyWrite), 0u);
  ASSERT_EQ(key.SetValue(kMtuDecrementValue, platform::MakeStringValue("40")), 0u);
  EXPECT_EQ(ReadDriverParameter(kMtuDecrementValue), 0u);
}

TEST_F(DriverParametersTest, TheStartupModeTakesEffectAtTheDriversNextStart) {
  LoadDriver();
  auto& running = AddAdapter();
  ASSERT_TRUE(WriteDriverParameter(kStartupModeValue, 0x02));
  auto& attachedLater = AddAdapter("{00000000-0000-0000-0000-0000000000C3}");
  EXPECT_EQ(zl::driver::ReadModeFlags(&ModuleOf(running)->Queue), 0u);
  EXPECT_EQ(zl::driver::ReadModeFlags(&ModuleOf(attachedLater)->Queue), 0u) << "read only at start";

  host_.RemoveAdapter(running);
  host_.RemoveAdapter(attachedLater);
  UnloadAndExpectClean();
  LoadDriver();
  auto& afterRestart = AddAdapter();
  EXPECT_EQ(zl::driver::ReadModeFlags(&ModuleOf(afterRestart)->Queue), 0x02u);
}

}  // namespace
}  // namespace zl::vorlanexapi
