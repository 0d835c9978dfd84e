// The description of one network adapter, as the adapter queries fill it.
#pragma once

#include <string>

namespace zl::netquery {

// All four fields empty: no such adapter was found.
struct TNetWorkAdapterRec {
  std::string ConnectionName;  // as stored in the registry, untrimmed
  std::string IPAddress;       // first IPv4 address; "0.0.0.0" when none
  std::string AdapterName;     // the adapter's GUID text in braces
  std::string MACAddress;      // "0A-1B-2C-3D-4E-5F"

  bool IsEmpty() const { return ConnectionName.empty() && IPAddress.empty() && AdapterName.empty() && MACAddress.empty(); }
};

// Adapter types of the adapter-information list that the queries consider.
inline constexpr unsigned kAdapterTypeEthernet = 6;
inline constexpr unsigned kAdapterTypeWireless = 71;

}  // namespace zl::netquery
