// Where the emulated machine keeps its simulation state below kMachineKey,
// and small readers shared by the emulated facilities.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hive.h"
#include "machine_store.h"

namespace zl::platform::emulated {

inline const std::string kAdaptersKey = std::string(kMachineKey) + "\\Adapters";
inline const std::string kClientsKey = std::string(kMachineKey) + "\\Clients";
inline const std::string kHostsKey = std::string(kMachineKey) + "\\Hosts";
inline const std::string kHostedNetworkKey = std::string(kMachineKey) + "\\HostedNetwork";
inline const std::string kSharingKey = std::string(kMachineKey) + "\\Sharing";
inline const std::string kFirewallKey = std::string(kMachineKey) + "\\Firewall\\AuthorizedApplications";
inline const std::string kFaultsKey = std::string(kMachineKey) + "\\Faults";
inline const std::string kServiceStatusKey = std::string(kMachineKey) + "\\ServiceStatus";
inline const std::string kSystemKey = std::string(kMachineKey) + "\\System";
inline const std::string kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
// DWORD under kMachineKey: the clock rate of the machine's programs (zlmachine clockrate).
inline constexpr const char* kClockRateValue = "ClockRate";

// A DWORD of the fault key; 0 when the fault is not set.
std::uint32_t Fault(const Hive& hive, const std::string& name);
std::vector<std::string> FaultText(const Hive& hive, const std::string& name);
// Reads the fault under the store's lock (0 without a machine).
std::uint32_t ReadFault(const std::string& name);

std::string BinaryOf(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> BytesOf(const std::string& data);
std::vector<std::uint8_t> BinaryValue(const HiveKey& key, const std::string& name);

// The name of the next numbered entry of a list key ("0001", "0002", ...);
// names that are not numbers are passed over.
std::string NextSlotName(const HiveKey* list);

// The connection name stored for an adapter GUID under the network class key.
std::string ConnectionNameOf(const Hive& hive, const std::string& guid);
void SetConnectionName(Hive& hive, const std::string& guid, const std::string& name);

}  // namespace zl::platform::emulated
