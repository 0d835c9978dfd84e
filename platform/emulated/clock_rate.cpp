#include "zl/platform/clock_rate.h"

#include "machine_keys.h"

namespace zl::platform {

std::uint32_t MachineClockRate() {
  std::uint32_t rate = 1;
  emulated::ReadMachine([&](const emulated::Hive& hive) {
    const emulated::HiveKey* key = hive.Root().Find(emulated::kMachineKey);
    if (key) rate = key->Dword(emulated::kClockRateValue, 1);
  });
  if (rate < 1) return 1;
  return rate > kMaxClockRate ? kMaxClockRate : rate;
}

}  // namespace zl::platform
