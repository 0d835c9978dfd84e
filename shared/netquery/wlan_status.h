// The hosted network's status from the wireless LAN library. The library and
// the client handle are opened on first use and kept for the life of the
// process; a failed load or open is tried again at the next call. None of
// these raises.
#pragma once

#include <string>

namespace zl::netquery {

bool LoadWlanApi();
bool OpenWlanHandle();
// True with the hosted network's device GUID in braces, upper case
// ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}").
bool QueryHostedNetworkStatus(std::string& deviceGuid);
// Whether `adapterName` (a GUID text) is the hosted network's adapter;
// always false without the wireless LAN library.
bool IsHostedNetworkAdapter(const std::string& adapterName);

}  // namespace zl::netquery
