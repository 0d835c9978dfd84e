#include "shared/netquery/adapter_queries.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "shared/netquery/wlan_status.h"
#include "tests/support/emulated_machine.h"
#include "zl/platform/machine_state.h"

namespace zl::netquery {
namespace {

namespace machine = platform::machine;

using Strings = std::vector<std::string>;

void StartHostedNetwork() {
  ASSERT_EQ(machine::SetHostedNetworkMode(true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkSsid("My Net"), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkKey("12345678", true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::StartHostedNetwork(), machine::HostedResult::Ok);
}

machine::AdapterRecord Adapter(const std::string& name, std::uint32_t type, std::vector<std::string> addresses,
                               std::uint8_t lastMacByte) {
  machine::AdapterRecord adapter;
  adapter.connectionName = name;
  adapter.type = type;
  adapter.addresses = std::move(addresses);
  adapter.mac = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, lastMacByte};
  return adapter;
}

TEST(AdapterQueriesTest, DefaultMachineListsItsWiredAndWirelessConnections) {
  test::EmulatedMachine machine;
  Strings names{"kept"}, addresses{"1.2.3.4"};
  GetInternetConnections(names, addresses);
  EXPECT_EQ(names, (Strings{"kept", "LAN-Verbindung", "Drahtlosnetzwerkverbindung"}));
  EXPECT_EQ(addresses, (Strings{"1.2.3.4", "192.168.178.20", "192.168.2.105"}));
  EXPECT_EQ(GetHostedNetworkMAC(), "");
}

TEST(AdapterQueriesTest, HostedAdapterIsFoundAndNeverListedAsCandidate) {
  test::EmulatedMachine machine;
  StartHostedNetwork();
  const auto hosted = machine::ReadHostedNetwork();

  TNetWorkAdapterRec adapter;
  GetHostedNetworkAdapter(adapter);
  EXPECT_EQ(adapter.ConnectionName, "Drahtlosnetzwerkverbindung 2");
  EXPECT_EQ(adapter.IPAddress, "192.168.137.1");
  EXPECT_EQ(adapter.AdapterName, hosted.adapterGuid);
  EXPECT_EQ(adapter.MACAddress, "02-1C-42-3A-5B-02");
  EXPECT_EQ(GetHostedNetworkConnectionName(), adapter.ConnectionName);
  EXPECT_EQ(GetHostedNetworkAdapterName(), adapter.AdapterName);

  Strings names, addresses;
  GetInternetConnections(names, addresses);
  EXPECT_EQ(names, (Strings{"LAN-Verbindung", "Drahtlosnetzwerkverbindung"}));
}

TEST(AdapterQueriesTest, EachCallWalksTheListAgain) {
  test::EmulatedMachine machine;
  EXPECT_EQ(GetHostedNetworkMAC(), "");
  StartHostedNetwork();
  EXPECT_EQ(GetHostedNetworkMAC(), "02-1C-42-3A-5B-02");
  ASSERT_EQ(machine::StopHostedNetwork(), machine::HostedResult::Ok);
  EXPECT_EQ(GetHostedNetworkMAC(), "");
}

TEST(AdapterQueriesTest, ProfileWalkTable) {
  // Each row: adapters added to an empty machine, and what the walk lists.
  struct Row {
    const char* what;
    std::vector<machine::AdapterRecord> adapters;
    Strings names;
    Strings addresses;
  };
  const std::vector<Row> rows = {
      {"wired and wireless in list order",
       {Adapter("Wireless", 71, {"10.0.0.2"}, 1), Adapter("Wired", 6, {"10.0.0.1"}, 2)},
       {"Wireless", "Wired"},
       {"10.0.0.2", "10.0.0.1"}},
      {"no address lists 0.0.0.0", {Adapter("Cable", 6, {}, 1)}, {"Cable"}, {"0.0.0.0"}},
      {"first of several addresses", {Adapter("Multi", 6, {"10.1.1.1", "10.2.2.2"}, 1)}, {"Multi"}, {"10.1.1.1"}},
      {"other adapter types are skipped",
       {Adapter("Loopback", 24, {"127.0.0.1"}, 1), Adapter("Tunnel", 131, {"10.9.9.9"}, 2), Adapter("LAN", 6, {"10.0.0.1"}, 3)},
       {"LAN"},
       {"10.0.0.1"}},
      {"blank and unnamed adapters are skipped, names are not carried over",
       {Adapter("Named", 6, {"10.0.0.1"}, 1), Adapter("", 6, {"10.0.0.2"}, 2), Adapter(" \t", 71, {"10.0.0.3"}, 3),
        Adapter("  padded  ", 6, {"10.0.0.4"}, 4)},
       {"Named", "  padded  "},
       {"10.0.0.1", "10.0.0.4"}},
      {"dial-up connections are not in the adapter list", {Adapter("Einwahl", 23, {"10.5.5.5"}, 1)}, {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    test::EmulatedMachine machine(false);
    for (auto adapter : row.adapters) {
      adapter.inAdapterList = adapter.type != 23;
      ASSERT_TRUE(machine::AddAdapter(adapter));
    }
    Strings names, addresses;
    GetInternetConnections(names, addresses);
    EXPECT_EQ(names, row.names);
    EXPECT_EQ(addresses, row.addresses);
  }
}

TEST(AdapterQueriesTest, WiredAdapterWithTheHostedGuidIsNeverChosen) {
  test::EmulatedMachine machine;
  StartHostedNetwork();
  const std::string guid = machine::ReadHostedNetwork().adapterGuid;
  // The hosted adapter, turned into a wired one: found by GUID, refused by type.
  ASSERT_TRUE(machine::RemoveAdapter(guid));
  auto wired = Adapter("Drahtlosnetzwerkverbindung 2", 6, {"192.168.137.1"}, 9);
  wired.guid = guid;
  ASSERT_TRUE(machine::AddAdapter(wired));
  TNetWorkAdapterRec adapter;
  GetHostedNetworkAdapter(adapter);
  EXPECT_TRUE(adapter.IsEmpty());
  // ...and, being the hosted network's adapter, it is no candidate either.
  Strings names, addresses;
  GetInternetConnections(names, addresses);
  EXPECT_EQ(names, (Strings{"LAN-Verbindung", "Drahtlosnetzwerkverbindung"}));
}

TEST(AdapterQueriesTest, HostedAdapterWithoutConnectionNameIsNotChosen) {
  test::EmulatedMachine machine;
  StartHostedNetwork();
  const std::string guid = machine::ReadHostedNetwork().adapterGuid;
  // Blank out the stored name of the virtual adapter's connection.
  ASSERT_TRUE(machine::RemoveAdapter(guid));
  auto unnamed = Adapter(" ", 71, {"192.168.137.1"}, 9);
  unnamed.guid = guid;
  ASSERT_TRUE(machine::AddAdapter(unnamed));
  TNetWorkAdapterRec adapter;
  GetHostedNetworkAdapter(adapter);
  EXPECT_TRUE(adapter.IsEmpty());
}

TEST(AdapterQueriesTest, UnavailableAdapterListGivesNothing) {
  test::EmulatedMachine machine;
  StartHostedNetwork();
  ASSERT_TRUE(machine::SetFault("AdapterListError", 50));
  Strings names, addresses;
  GetInternetConnections(names, addresses);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(addresses.empty());
  TNetWorkAdapterRec adapter;
  adapter.ConnectionName = "stale";
  GetHostedNetworkAdapter(adapter);
  EXPECT_TRUE(adapter.IsEmpty());
  EXPECT_EQ(GetHostedNetworkMAC(), "");
}

TEST(AdapterQueriesTest, EmptyMachineListsNothing) {
  test::EmulatedMachine machine(false);
  Strings names, addresses;
  GetInternetConnections(names, addresses);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(GetHostedNetworkAdapterName(), "");
}

}  // namespace
}  // namespace zl::netquery
