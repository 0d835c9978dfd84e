// The listing commands of zlmachine.
#include <cstdio>

#include "commands.h"
#include "platform/emulated/native_names.h"
#include "zl/platform/machine_state.h"

namespace zl::tools::zlmachine {

namespace machine = platform::machine;

namespace {

std::string Utf8(const std::string& text) { return platform::emulated::Cp1252ToUtf8(text); }

const char* TypeName(std::uint32_t type) {
  switch (type) {
    case machine::kAdapterTypeEthernet: return "Ethernet";
    case machine::kAdapterTypeWireless: return "IEEE 802.11";
    case machine::kAdapterTypePpp: return "PPP";
    default: return "other";
  }
}

const char* StateName(std::uint32_t state) {
  static const char* const names[] = {"UNKNOWN",          "STOPPED",       "START_PENDING", "STOP_PENDING",
                                      "RUNNING",          "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
  return state < 8 ? names[state] : "UNKNOWN";
}

}  // namespace

int Adapters(const Args&) {
  int index = 0;
  for (const auto& adapter : machine::ListAdapters()) {
    std::string addresses;
    for (const auto& a : adapter.addresses) addresses += (addresses.empty() ? "" : ", ") + a;
    std::printf("%d. %s\n", ++index, Utf8(adapter.connectionName.empty() ? "(no connection name)" : adapter.connectionName).c_str());
    std::printf("   Adapter name  : %s\n", adapter.guid.c_str());
    std::printf("   Description   : %s\n", Utf8(adapter.description).c_str());
    std::printf("   Type          : %u (%s)%s%s\n", adapter.type, TypeName(adapter.type),
                adapter.hosted ? ", hosted network" : "", adapter.inAdapterList ? "" : ", not in the adapter list");
    std::printf("   MAC address   : %s\n", machine::FormatMac(adapter.mac).c_str());
    std::printf("   IPv4 addresses: %s\n", addresses.empty() ? "0.0.0.0" : addresses.c_str());
  }
  if (index == 0) std::printf("no adapters\n");
  return 0;
}

int Clients(const Args&) {
  const auto clients = machine::ListClients();
  for (const auto& client : clients) {
    std::printf("%s  %-15s  %-8s  %s\n", machine::FormatMac(client.mac).c_str(), client.address.c_str(),
                client.present ? "present" : "absent", Utf8(client.hostName).c_str());
  }
  if (clients.empty()) std::printf("no clients\n");
  return 0;
}

int Hosts(const Args&) {
  for (const auto& [address, name] : machine::ListHostNames()) std::printf("%-15s  %s\n", address.c_str(), Utf8(name).c_str());
  return 0;
}

int HostedNetwork(const Args&) {
  const auto state = machine::ReadHostedNetwork();
  std::printf("Supported      : %s\n", state.supported ? "yes" : "no");
  std::printf("Mode           : %s\n", state.allowed ? "allowed" : "disallowed");
  std::printf("SSID           : %s\n", state.ssid.empty() ? "(not configured)" : ("\"" + Utf8(state.ssid) + "\"").c_str());
  std::printf("Key            : %s%s\n", state.key.empty() ? "(not configured)" : Utf8(state.key).c_str(),
              state.key.empty() ? "" : (state.persistentKey ? " (persistent)" : " (temporary)"));
  std::printf("Status         : %s\n", state.started ? "started" : "not started");
  std::printf("Adapter GUID   : %s\n", state.adapterGuid.c_str());
  if (!state.adapterMac.empty()) std::printf("Adapter MAC    : %s\n", machine::FormatMac(state.adapterMac).c_str());
  return 0;
}

int ShowSharing() {
  for (const auto& s : machine::ListSharing()) {
    std::printf("%-32s %s  %s\n", Utf8(s.connectionName.empty() ? "(no name)" : s.connectionName).c_str(), s.guid.c_str(),
                !s.enabled ? "not shared" : s.type == 0 ? "shared: public" : "shared: private");
  }
  return 0;
}

int Firewall(const Args&) {
  const auto apps = machine::ListFirewallApplications();
  for (const auto& app : apps) {
    std::printf("%s  %s  scope %d, IP version %d, %s\n", Utf8(app.name).c_str(), Utf8(app.processImageFileName).c_str(),
                app.scope, app.ipVersion, app.enabled ? "enabled" : "disabled");
  }
  if (apps.empty()) std::printf("no authorised applications\n");
  return 0;
}

int Services(const Args&) {
  const auto services = machine::ListServices();
  for (const auto& s : services) {
    std::printf("%-24s %-14s start %s  pid %lld\n    %s\n", Utf8(s.name).c_str(), StateName(s.state),
                s.startType == 2 ? "auto" : s.startType == 4 ? "disabled" : "demand", static_cast<long long>(s.pid),
                Utf8(s.imagePath).c_str());
  }
  if (services.empty()) std::printf("no services\n");
  return 0;
}

int Show(const Args& args) {
  std::printf("== Adapters\n");
  Adapters(args);
  std::printf("\n== Hosted network\n");
  HostedNetwork(args);
  std::printf("\n== Clients\n");
  Clients(args);
  std::printf("\n== Host names\n");
  Hosts(args);
  std::printf("\n== Connection sharing\n");
  ShowSharing();
  std::printf("\n== Firewall\n");
  Firewall(args);
  std::printf("\n== Clock\n");
  ClockRate({});
  std::printf("\n== Services\n");
  return Services(args);
}

}  // namespace zl::tools::zlmachine
