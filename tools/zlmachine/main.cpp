// zlmachine: creates an emulated Windows machine and shows or changes all of
// it: adapters, hotspot clients, host names, the registry, services, the
// hosted network, connection sharing and the firewall. The machine is the
// directory named by ZEPHLINK_MACHINE, or by "--machine=DIR" before the command.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "commands.h"

namespace {

using namespace zl::tools::zlmachine;

constexpr const char* kUsage = R"(usage: zlmachine [--machine=DIR] COMMAND ...

  create [--empty] [DIR]          make a machine (default profile: a wired "LAN-Verbindung"
                                  and a wireless "Drahtlosnetzwerkverbindung")
  show                            everything below at once
  adapters                        the adapter list, in the platform's order
  adapter add NAME TYPE MAC [ADDRESS...]   add an adapter (TYPE 6 wired, 71 wireless,
                                  23 dial-up: a connection only the sharing manager lists)
  adapter remove GUID
  clients                         simulated hotspot clients
  client add MAC ADDRESS [HOSTNAME]         a present client (answers ARP)
  client remove MAC | client present MAC | client absent MAC
  hosts | host set ADDRESS NAME | host remove ADDRESS      reverse lookup table
  hostednetwork                   the hosted network's settings and state
  sharing                         connection sharing per connection
  sharing enable PUBLIC PRIVATE   share the connection named PUBLIC with the one named PRIVATE
  sharing disable                 switch sharing off on every connection
  clockrate [N]                   the rate (1 to 1000 times real time) at which the programs'
                                  clocks, pauses and timers run; set before starting them
  firewall                        authorised applications
  services                        registered services and their states
  service start NAME | service stop NAME
  boot                            start every automatic service
  reg query KEY [VALUE]           registry of the local machine (HKLM)
  reg set KEY VALUE TYPE DATA     TYPE: REG_SZ REG_EXPAND_SZ REG_DWORD REG_BINARY (hex) REG_MULTI_SZ (";"-separated)
  reg delete KEY [VALUE]          a value, or the key with everything below it
  fault NAME VALUE                failure injection, e.g. AdapterListError 50, RegistryReadOnly 1,
                                  NotAdministrator 1, FirewallUnavailable 1, Sharing\FailCalls 3,
                                  Sharing\Unavailable 1, Services\NAME\StartError 1053 (0 clears);
                                  Services\NAME\StatusScript "2,1,2000;4,0,0": the states (state,checkpoint,
                                  waithint) the service reports to successive queries after a start
  exec COMMANDLINE                run a Windows command line through the shell, e.g.
                                  exec 'cmd.exe /c "netsh wlan show hostednetwork"'
)";

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  if (first < argc && std::string(argv[first]).rfind("--machine=", 0) == 0) {
    setenv("ZEPHLINK_MACHINE", argv[first] + 10, 1);
    ++first;
  }
  if (first >= argc || std::string(argv[first]) == "--help" || std::string(argv[first]) == "help") {
    std::fputs(kUsage, first >= argc ? stderr : stdout);
    return first >= argc ? 2 : 0;
  }
  const std::string command = argv[first];
  const Args args(argv + first + 1, argv + argc);
  const std::map<std::string, int (*)(const Args&)> commands = {
      {"create", Create},   {"show", Show},         {"adapters", Adapters},
      {"adapter", Adapter}, {"clients", Clients},   {"client", Client},
      {"hosts", Hosts},     {"host", Host},         {"hostednetwork", HostedNetwork},
      {"sharing", Sharing}, {"firewall", Firewall}, {"services", Services},
      {"service", Service}, {"boot", Boot},         {"reg", Registry},
      {"fault", Fault},     {"exec", Exec},         {"clockrate", ClockRate},
  };
  const auto it = commands.find(command);
  if (it == commands.end()) return UsageError("unknown command \"" + command + "\"");
  if (command != "create" && !std::getenv("ZEPHLINK_MACHINE")) {
    return UsageError("no machine: set ZEPHLINK_MACHINE or give --machine=DIR");
  }
  return it->second(args);
}
