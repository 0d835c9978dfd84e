// netsh.exe of the emulated machine: the "wlan" commands of the hosted
// network, with netsh's parameter checks, messages and exit codes. Every
// command line it receives is appended to the machine's "netsh.log", so a
// test can see exactly what arrived.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "zl/platform/machine_state.h"
#include "zl/platform/process.h"

namespace {

namespace platform = zl::platform;
namespace machine = zl::platform::machine;

constexpr const char* kNotInState =
    "The group or resource is not in the correct state to perform the requested operation.";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

void Say(const std::string& text) { std::printf("%s\r\n", text.c_str()); }

void LogCommandLine(const std::string& line) {
  const char* dir = std::getenv("ZEPHLINK_MACHINE");
  if (!dir || !*dir) return;
  const int fd = open((std::string(dir) + "/netsh.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  const std::string text = line + "\n";
  [[maybe_unused]] const ssize_t written = write(fd, text.data(), text.size());
  close(fd);
}

bool StateFailure(machine::HostedResult result, const char* action) {
  if (result == machine::HostedResult::Ok) return false;
  Say(std::string("The hosted network couldn't be ") + action + ". ");
  Say(result == machine::HostedResult::NotSupported ? "The hosted network is not supported by the wireless adapter."
                                                    : kNotInState);
  return true;
}

struct SetParameters {
  bool hasMode = false, allow = false;
  bool hasSsid = false, hasKey = false, hasKeyUsage = false, persistent = true;
  std::string ssid, key;
};

int SetHostedNetwork(const std::vector<std::string>& params) {
  SetParameters p;
  for (const std::string& param : params) {
    const auto eq = param.find('=');
    const std::string tag = Lower(param.substr(0, eq));
    const std::string value = eq == std::string::npos ? std::string() : param.substr(eq + 1);
    if (eq == std::string::npos) {
      Say("One or more parameters for the command are not correct or missing.");
      return 1;
    }
    if (tag == "mode" && (Lower(value) == "allow" || Lower(value) == "disallow")) {
      p.hasMode = true;
      p.allow = Lower(value) == "allow";
    } else if (tag == "ssid") {
      p.hasSsid = true;
      p.ssid = value;
    } else if (tag == "key") {
      p.hasKey = true;
      p.key = value;
    } else if (tag == "keyusage" && (Lower(value) == "persistent" || Lower(value) == "temporary")) {
      p.hasKeyUsage = true;
      p.persistent = Lower(value) == "persistent";
    } else {
      Say("One or more parameters for the command are not correct or missing.");
      Say("The parameter \"" + param + "\" is not valid.");
      return 1;
    }
  }
  if (!p.hasMode && !p.hasSsid && !p.hasKey) {
    Say("One or more parameters for the command are not correct or missing.");
    return 1;
  }
  if (p.hasSsid && (p.ssid.empty() || p.ssid.size() > 32)) {
    Say("The SSID of the hosted network couldn't be set. ");
    Say("The SSID must be 1 to 32 characters long.");
    return 1;
  }
  if (p.hasKey && (p.key.size() < 8 || p.key.size() > 63)) {
    Say("The user key passphrase of the hosted network couldn't be set. ");
    Say("The key must be 8 to 63 characters long.");
    return 1;
  }
  if (p.hasMode) {
    if (machine::SetHostedNetworkMode(p.allow) != machine::HostedResult::Ok) return 1;
    Say(std::string("The hosted network mode has been set to ") + (p.allow ? "allow" : "disallow") + ". ");
  }
  if (p.hasSsid) {
    if (machine::SetHostedNetworkSsid(p.ssid) != machine::HostedResult::Ok) return 1;
    Say("The SSID of the hosted network has been successfully changed. ");
  }
  if (p.hasKey) {
    if (machine::SetHostedNetworkKey(p.key, p.persistent) != machine::HostedResult::Ok) return 1;
    Say("The user key passphrase of the hosted network has been successfully changed. ");
  }
  return 0;
}

int ShowHostedNetwork() {
  const auto state = machine::ReadHostedNetwork();
  Say("");
  Say("Hosted network settings");
  Say("-----------------------");
  Say(std::string("    Mode                   : ") + (state.allowed ? "Allowed" : "Disallowed"));
  if (!state.ssid.empty()) Say("    SSID name              : \"" + state.ssid + "\"");
  Say("    Max number of clients  : 100");
  Say("    Authentication         : WPA2-Personal");
  Say("    Cipher                 : CCMP");
  Say("");
  Say("Hosted network status");
  Say("---------------------");
  if (!state.supported || !state.allowed) {
    Say("    Status                 : Not available");
  } else if (!state.started) {
    Say("    Status                 : Not started");
  } else {
    int clients = 0;
    for (const auto& client : machine::ListClients()) clients += client.present;
    Say("    Status                 : Started");
    Say("    BSSID                  : " + Lower(machine::FormatMac(state.adapterMac)));
    Say("    Radio type             : 802.11n");
    Say("    Channel                : 11");
    Say("    Number of clients      : " + std::to_string(clients));
  }
  Say("");
  return 0;
}

int NotFound(const std::vector<std::string>& args) {
  std::string text;
  for (std::size_t i = 1; i < args.size(); ++i) text += (i > 1 ? " " : "") + args[i];
  Say("The following command was not found: " + text + ".");
  return 1;
}

}  // namespace

int main() {
  const std::string line = platform::GetCommandLineText();
  LogCommandLine(line);
  const std::vector<std::string> args = platform::SplitCommandLine(line);
  if (args.size() < 4 || Lower(args[1]) != "wlan" || Lower(args[3]) != "hostednetwork") return NotFound(args);
  const std::string verb = Lower(args[2]);
  const std::vector<std::string> params(args.begin() + 4, args.end());
  if (verb == "set") return SetHostedNetwork(params);
  if (!params.empty()) return NotFound(args);
  if (verb == "show") return ShowHostedNetwork();
  if (verb == "start") {
    if (StateFailure(machine::StartHostedNetwork(), "started")) return 1;
    Say("The hosted network started. ");
    return 0;
  }
  if (verb == "stop") {
    if (StateFailure(machine::StopHostedNetwork(), "stopped")) return 1;
    Say("The hosted network stopped. ");
    return 0;
  }
  return NotFound(args);
}
