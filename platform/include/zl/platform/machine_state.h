// The simulation state of the emulated Windows machine (Linux only): what a
// real machine has in hardware and the operating system, kept in the
// machine's store so that every process sees the same. The machine tool,
// the kernel host and the test fixtures use this; the system's own code
// never does (it sees the machine only through the other platform headers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zl::platform::machine {

// Registry key of the connection names ("...\{GUID}\Connection", value "Name").
inline constexpr const char* kNetworkClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
inline constexpr const char* kHostedNetworkAddress = "192.168.137.1";
inline constexpr std::uint32_t kAdapterTypeEthernet = 6;
inline constexpr std::uint32_t kAdapterTypeWireless = 71;
inline constexpr std::uint32_t kAdapterTypePpp = 23;

struct AdapterRecord {
  std::string guid;  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  std::string description;
  std::uint32_t type = kAdapterTypeEthernet;
  std::vector<std::uint8_t> mac;       // hardware address bytes
  std::vector<std::string> addresses;  // IPv4, dotted
  std::string connectionName;          // as stored under the network class key
  bool hosted = false;                 // the hosted network's virtual adapter
  // False for a connection that only the sharing manager lists (dial-up).
  bool inAdapterList = true;
};

struct ClientRecord {
  std::vector<std::uint8_t> mac;
  std::string address;
  std::string hostName;
  bool present = true;
};

struct HostedNetworkState {
  bool supported = true;  // the machine has a wireless adapter able to host
  bool allowed = false;
  std::string ssid;
  std::string key;
  bool persistentKey = false;
  bool started = false;
  std::string adapterGuid;  // fixed for the machine, chosen when it was created
  std::vector<std::uint8_t> adapterMac;
};

struct FirewallApplication {
  std::string name;
  std::string processImageFileName;
  std::int32_t scope = 0;
  std::int32_t ipVersion = 2;
  bool enabled = true;
};

struct SharingState {
  std::string guid;
  std::string connectionName;
  bool enabled = false;
  std::int32_t type = 0;  // 0 public, 1 private
};

struct ServiceRecord {
  std::string name;
  std::string displayName;
  std::string imagePath;
  std::uint32_t startType = 3;
  std::uint32_t state = 1;  // as the service manager reports it
  std::int64_t pid = 0;
};

// Creates a machine in `directory`. With the default profile it has a wired
// "LAN-Verbindung" and a wireless "Drahtlosnetzwerkverbindung" with
// addresses, the autostart key, and its "Windows\System32" folder holds the
// machine's programs (cmd.exe, netsh.exe) and the wireless LAN library
// (Wlanapi.dll) taken from `programsFolder` (native path). False on failure.
bool CreateMachine(const std::string& directory, const std::string& programsFolder, bool defaultProfile = true);
// The machine's "Windows\System32" folder, native path; empty without a machine.
std::string SystemFolder();

std::vector<AdapterRecord> ListAdapters();  // in the platform's order, hosted included
bool AddAdapter(AdapterRecord adapter);      // appended; a missing guid is generated
bool RemoveAdapter(const std::string& guid);
bool SetAdapterAddresses(const std::string& guid, const std::vector<std::string>& addresses);

std::vector<ClientRecord> ListClients();
bool SetClient(const ClientRecord& client);  // adds or replaces (by MAC)
bool RemoveClient(const std::vector<std::uint8_t>& mac);
bool SetClientPresent(const std::vector<std::uint8_t>& mac, bool present);

// The machine's host table for reverse lookups.
bool SetHostName(const std::string& address, const std::string& name);
bool RemoveHostName(const std::string& address);
std::vector<std::pair<std::string, std::string>> ListHostNames();

// Hosted network, as netsh changes it.
enum class HostedResult { Ok, NoMachine, NotSupported, Disallowed, NotConfigured };
HostedNetworkState ReadHostedNetwork();
HostedResult SetHostedNetworkMode(bool allowed);  // disallowing stops it
HostedResult SetHostedNetworkSsid(const std::string& ssid);
HostedResult SetHostedNetworkKey(const std::string& key, bool persistent);
HostedResult StartHostedNetwork();  // brings up the virtual adapter
HostedResult StopHostedNetwork();   // removes it

std::vector<FirewallApplication> ListFirewallApplications();
std::vector<SharingState> ListSharing();  // every connection the sharing manager knows

std::vector<ServiceRecord> ListServices();

// Fault injection: a DWORD under the machine's fault key ("Faults\" + name;
// the name may hold "\" for a subkey, e.g. "Services\ZephlinkService\StartError").
// Value 0 removes the fault.
bool SetFault(const std::string& name, std::uint32_t value);
bool SetFaultText(const std::string& name, const std::vector<std::string>& lines);

// The clock rate every program of the machine follows (see clock_rate.h); 1
// is real time. Programs read it when their clock starts, so it is set before
// they run. False when the rate is outside 1 to kMaxClockRate or the machine
// cannot be changed.
bool SetClockRate(std::uint32_t rate);

// Formats used throughout the machine's state.
std::string FormatMac(const std::vector<std::uint8_t>& mac);  // "0A-1B-2C-3D-4E-5F"
bool ParseMac(const std::string& text, std::vector<std::uint8_t>& mac);
std::string NewGuid();  // random, braces, upper case

}  // namespace zl::platform::machine
