// Letting a program through the platform firewall. Every error is swallowed.
#pragma once

#include <string>

namespace zl::syscmd {

// Authorises the program for all remote addresses and any IP version.
void AuthorizeApplication(const std::string& name, const std::string& path);
// Authorises "Zephlink.exe" in the running program's folder as "Zephlink".
void AuthorizeProgramInFirewall();

}  // namespace zl::syscmd
