#include "tests/control_panel/panel_fixture.h"

#include <filesystem>
#include <fstream>
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

void PanelTest::SlowDownNetsh() {
  const std::string netsh = machine::SystemFolder() + "/netsh.exe";
  std::filesystem::remove(netsh);
  std::ofstream script(netsh);
  // The real netsh takes the Windows command line the interpreter gave this
  // script as its own.
  const std::string real = zl::test::EmulatedMachine::ProgramsFolder() + "/netsh.exe";
  script << "#!/bin/sh\nsleep 0.3\nexport ZEPHLINK_COMMAND_LINE_IMAGE='" << real << "'\nexec '" << real << "' \"$@\"\n";
  script.close();
  std::filesystem::permissions(netsh, std::filesystem::perms::owner_all);
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
