// Queries over the platform's adapter list: the candidate Internet
// connections and the hosted network's adapter. Every call walks the list
// afresh; none raises.
#pragma once

#include <string>
#include <vector>

#include "shared/netquery/network_adapter.h"

namespace zl::netquery {

// Appends the connection name and first IPv4 address of every named
// Ethernet or wireless adapter that is not the hosted network's; entries
// already in the lists stay.
void GetInternetConnections(std::vector<std::string>& Names, std::vector<std::string>& Addresses);
// Fills the record from the first named wireless adapter that is the hosted
// network's, or leaves it empty.
void GetHostedNetworkAdapter(TNetWorkAdapterRec& adapter);
std::string GetHostedNetworkMAC();
std::string GetHostedNetworkConnectionName();
std::string GetHostedNetworkAdapterName();

}  // namespace zl::netquery
