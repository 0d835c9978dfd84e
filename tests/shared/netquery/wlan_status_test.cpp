#include "shared/netquery/wlan_status.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "shared/netquery/adapter_queries.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"

namespace zl::netquery {
namespace {

namespace machine = platform::machine;

void StartHostedNetwork() {
  ASSERT_EQ(machine::SetHostedNetworkMode(true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkSsid("Net"), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkKey("12345678", true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::StartHostedNetwork(), machine::HostedResult::Ok);
}

TEST(WlanStatusTest, ReportsTheHostedAdapterGuidWhileItRuns) {
  test::EmulatedMachine machine;
  ASSERT_TRUE(LoadWlanApi());
  ASSERT_TRUE(OpenWlanHandle());
  std::string guid;
  ASSERT_TRUE(QueryHostedNetworkStatus(guid));
  EXPECT_EQ(guid, "{00000000-0000-0000-0000-000000000000}");

  StartHostedNetwork();
  const std::string hosted = machine::ReadHostedNetwork().adapterGuid;
  ASSERT_TRUE(QueryHostedNetworkStatus(guid));
  EXPECT_EQ(guid, hosted);
  EXPECT_TRUE(IsHostedNetworkAdapter(hosted));
  EXPECT_TRUE(IsHostedNetworkAdapter("  " + hosted + " "));  // both sides trimmed

  std::string lower = hosted;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_FALSE(IsHostedNetworkAdapter(lower));  // compared with letter case
  EXPECT_FALSE(IsHostedNetworkAdapter("{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}"));
}

TEST(WlanStatusTest, GuidStaysTheSameAcrossStartsOfOneMachine) {
  test::EmulatedMachine machine;
  StartHostedNetwork();
  std::string first, second;
  ASSERT_TRUE(QueryHostedNetworkStatus(first));
  ASSERT_EQ(machine::StopHostedNetwork(), machine::HostedResult::Ok);
  ASSERT_EQ(machine::StartHostedNetwork(), machine::HostedResult::Ok);
  ASSERT_TRUE(QueryHostedNetworkStatus(second));
  EXPECT_EQ(first, second);
}

// Without the wireless LAN library (a machine whose system folder lacks
// it), in a fresh process since the library stays loaded once it was.
TEST(WlanStatusDeathTest, MachineWithoutTheLibraryHasNoHostedAdapter) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  test::EmulatedMachine machine;
  StartHostedNetwork();
  ASSERT_EQ(unlink((machine::SystemFolder() + "/Wlanapi.dll").c_str()), 0);
  const std::string hosted = machine::ReadHostedNetwork().adapterGuid;
  auto check = [&] {
        std::vector<std::string> names, addresses;
        GetInternetConnections(names, addresses);
        std::string guid;
        const bool ok = !LoadWlanApi() && !OpenWlanHandle() && !QueryHostedNetworkStatus(guid) &&
                        !IsHostedNetworkAdapter(hosted) && GetHostedNetworkMAC().empty() &&
                        GetHostedNetworkConnectionName().empty() &&
                        // Every named Ethernet and wireless adapter is a candidate, the hosted one too.
                        names == std::vector<std::string>{"LAN-Verbindung", "Drahtlosnetzwerkverbindung",
                                                          "Drahtlosnetzwerkverbindung 2"};
        std::exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "");
}

TEST(WlanStatusDeathTest, FailedLoadIsTriedAgainAtTheNextCall) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  test::EmulatedMachine machine;
  const std::string library = machine::SystemFolder() + "/Wlanapi.dll";
  const std::string hidden = machine.Directory() + "/Wlanapi.dll.away";
  ASSERT_EQ(rename(library.c_str(), hidden.c_str()), 0);
  auto check = [&] {
        const bool missing = !LoadWlanApi();
        const bool back = rename(hidden.c_str(), library.c_str()) == 0;
        std::exit(missing && back && LoadWlanApi() && OpenWlanHandle() ? 0 : 1);
  };
  EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zl::netquery

namespace zl::netquery {
namespace {

// The library and client handle are shared by the threads of a process (the
// service's main and packet threads): a first use from several threads at
// once opens them once and every thread gets the same answer.
TEST(WlanStatusThreadsTest, ConcurrentQueriesShareOneLibrary) {
  test::EmulatedMachine machine;
  StartHostedNetwork();
  const std::string expected = machine::ReadHostedNetwork().adapterGuid;
  std::vector<std::string> answers(4);
  std::vector<std::thread> threads;
  for (auto& answer : answers) {
    threads.emplace_back([&answer] {
      std::string guid;
      if (QueryHostedNetworkStatus(guid)) answer = guid;
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& answer : answers) EXPECT_EQ(answer, expected);
}

}  // namespace
}  // namespace zl::netquery
