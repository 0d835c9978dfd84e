// Which entry of the driver's adapter list the packet thread binds to.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "service/engine/pass_thru.h"

namespace zl::engine {
namespace {

constexpr const char* kGuid = "{7A2B9C1D-4E3F-4A5B-8C6D-1E2F3A4B5C6D}";

std::unique_ptr<driverclient::AdapterList> ListOf(const std::vector<std::string>& names) {
  auto list = std::make_unique<driverclient::AdapterList>();
  std::memset(list.get(), 0, sizeof *list);
  list->Count = static_cast<std::uint32_t>(names.size());
  for (std::size_t i = 0; i < names.size() && i < driverclient::kMaxAdapters; ++i) {
    std::memcpy(list->Name[i], names[i].data(), std::min<std::size_t>(names[i].size(), driverclient::kAdapterNameSize));
  }
  return list;
}

struct MatchCase {
  const char* name;
  std::vector<std::string> adapters;
  std::string adapterName;
  int expected;
};

TEST(AdapterMatchTest, TheFirstNameContainingTheGuidCaseSensitively) {
  const std::string device = std::string("\\DEVICE\\") + kGuid;
  std::string lower = device;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string unterminated = std::string(256 - std::strlen(kGuid), 'x') + kGuid;  // fills all 256 bytes
  const MatchCase cases[] = {
      {"exact device name", {"\\DEVICE\\{OTHER}", device}, kGuid, 1},
      {"first of two in list order", {device, device}, kGuid, 0},
      {"letter case differs", {lower}, kGuid, -1},
      {"empty name matches nothing", {device}, "", -1},
      {"no entry", {}, kGuid, -1},
      {"a name using all 256 bytes", {unterminated}, kGuid, 0},
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(FindAdapterEntry(*ListOf(c.adapters), c.adapterName), c.expected) << c.name;
  }
}

TEST(AdapterMatchTest, ACountAboveThirtyTwoReadsOnlyTheThirtyTwoEntries) {
  auto list = ListOf({});
  list->Count = 1000;
  EXPECT_EQ(FindAdapterEntry(*list, kGuid), -1);
}

}  // namespace
}  // namespace zl::engine
