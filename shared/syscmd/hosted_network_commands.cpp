#include "shared/syscmd/hosted_network_commands.h"

#include "shared/syscmd/run_and_wait.h"

namespace zl::syscmd {
namespace {

constexpr std::uint16_t kHidden = 0;

void RunNetsh(const std::string& parameters) {
  try {
    RunAndWait("open", "cmd.exe", parameters, true, kHidden);
  } catch (...) {
    // The caller learns the outcome from the adapter queries only.
  }
}

}  // namespace

bool IsSafeCommandText(const std::string& text) {
  for (unsigned char c : text) {
    if (c == '"' || c == '%' || c < 0x20 || c == 0x7F) return false;
  }
  // A final backslash would escape the closing quote for the program that
  // reads the line, which would then take a different name or key.
  return text.empty() || text.back() != '\\';
}

std::string SetHostedNetworkParameters(const std::string& ssid, const std::string& key) {
  return "/c \"netsh wlan set hostednetwork mode=allow ssid=\"" + ssid + "\" key=\"" + key + "\" keyUsage=persistent\"";
}

void SetHostedNetwork(const std::string& ssid, const std::string& key) {
  // A quote would end the quoting and let the rest of the text run as
  // further commands with administrator rights; such input is refused.
  if (!IsSafeCommandText(ssid) || !IsSafeCommandText(key)) return;
  RunNetsh(SetHostedNetworkParameters(ssid, key));
}

void StartHostedNetwork() { RunNetsh("/c \"netsh wlan start hostednetwork\""); }

void StopHostedNetwork() { RunNetsh("/c \"netsh wlan stop hostednetwork\""); }

void DisallowHostedNetwork() { RunNetsh("/c \"netsh wlan set hostednetwork mode=disallow\""); }

}  // namespace zl::syscmd
