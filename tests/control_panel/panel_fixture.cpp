#include "tests/control_panel/panel_fixture.h"

#include <sstream>

#include "shared/netquery/adapter_queries.h"
#include "shared/syscmd/hosted_network_commands.h"
#include "zl/platform/machine_state.h"

namespace zl::panel::test {

namespace machine = platform::machine;

PanelTest::PanelTest() {
  SetProcessClock(&clock);
  form = std::make_unique<TfrmMain>(loop, programFolder.Path() + "\\");
  form->SetLanguageSource({[](const std::string& section, const std::string& key) {
                             return section == "1" ? "text " + key : std::string();
                           },
                           [] { return std::string("Deutsch"); }});
}

PanelTest::~PanelTest() {
  form.reset();
  SetProcessClock(nullptr);
}

void PanelTest::ShowForm() {
  form->FormCreate();
  form->FormShow();
}

void PanelTest::StartHostedNetworkDirectly() {
  syscmd::SetHostedNetwork("Direct", "12345678");
  syscmd::StartHostedNetwork();
  ASSERT_FALSE(netquery::GetHostedNetworkMAC().empty());
}

void PanelTest::AddClient(const std::string& mac, const std::string& address, const std::string& hostName) {
  machine::ClientRecord client;
  ASSERT_TRUE(machine::ParseMac(mac, client.mac));
  client.address = address;
  client.hostName = hostName;
  ASSERT_TRUE(machine::SetClient(client));
  if (!hostName.empty()) {
    ASSERT_TRUE(machine::SetHostName(address, hostName));
  }
}

void PanelTest::SetClientPresent(const std::string& mac, bool present) {
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(machine::ParseMac(mac, bytes));
  ASSERT_TRUE(machine::SetClientPresent(bytes, present));
}

std::vector<std::string> PanelTest::NetshLines() const {
  std::vector<std::string> lines;
  std::istringstream log(machine.ReadFile("netsh.log"));
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> PanelTest::SharingConnections() const {
  std::vector<std::string> sharing;
  for (const auto& state : machine::ListSharing()) {
    if (state.enabled) sharing.push_back(state.connectionName + (state.type == 1 ? ":private" : ":public"));
  }
  return sharing;
}

std::string PanelTest::HostedConnectionName() const { return netquery::GetHostedNetworkConnectionName(); }

}  // namespace zl::panel::test
