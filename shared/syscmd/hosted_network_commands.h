// The hosted wireless network, configured, started and stopped through
// netsh run by the command interpreter. The commands report nothing: the
// outcome shows only in the adapter queries.
#pragma once

#include <string>

namespace zl::syscmd {

// Whether a network name or key can be put between double quotes on a
// command interpreter line without changing the line's meaning: no double
// quote, no percent sign (variable expansion), no control character, and no
// backslash at the end (it would escape the closing quote).
bool IsSafeCommandText(const std::string& text);

// Refuses (runs nothing) when the SSID or key is not IsSafeCommandText.
void SetHostedNetwork(const std::string& ssid, const std::string& key);
void StartHostedNetwork();
void StopHostedNetwork();
void DisallowHostedNetwork();

// The parameters handed to "cmd.exe" for SetHostedNetwork.
std::string SetHostedNetworkParameters(const std::string& ssid, const std::string& key);

}  // namespace zl::syscmd
