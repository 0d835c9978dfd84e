#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "machine_keys.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/registry.h"

namespace zl::platform::machine {
namespace {

using emulated::Hive;
using emulated::HiveKey;

// The programs and libraries a Windows machine has in its system folder, and
// the names of ours that stand in for them.
struct SystemFile {
  const char* windowsName;
  const char* buildName;
};
constexpr SystemFile kSystemFiles[] = {
    {"cmd.exe", "cmd.exe"},
    {"netsh.exe", "netsh.exe"},
    {"Wlanapi.dll", "Wlanapi.dll"},
    {"VorlanexApi.dll", "VorlanexApi.dll"},
};

bool MakeDirectories(const std::string& path) {
  std::string partial;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || (path[i] == '/' && i > 0)) {
      partial = path.substr(0, i);
      if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

void WriteDefaultProfile(Hive& hive) {
  HiveKey& root = hive.Root();
  root.FindOrCreate("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
  root.FindOrCreate(emulated::kServicesKey);
  root.FindOrCreate("SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName").SetString("ComputerName", "ZEPHLINK-PC");
  root.FindOrCreate(emulated::kHostsKey).SetString("127.0.0.1", "localhost");

  struct Profile {
    const char* guid;
    const char* description;
    std::uint32_t type;
    std::vector<std::uint8_t> mac;
    const char* address;
    const char* connection;
  };
  const Profile adapters[] = {
      {"{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}", "Intel(R) PRO/1000 MT-Netzwerkverbindung", kAdapterTypeEthernet,
       {0x00, 0x1C, 0x42, 0x3A, 0x5B, 0x01}, "192.168.178.20", "LAN-Verbindung"},
      {"{7A2B9C1D-4E3F-4A5B-8C6D-1E2F3A4B5C6D}", "Intel(R) Centrino(R) Advanced-N 6205", kAdapterTypeWireless,
       {0x00, 0x1C, 0x42, 0x3A, 0x5B, 0x02}, "192.168.2.105", "Drahtlosnetzwerkverbindung"},
  };
  unsigned slot = 1;
  for (const Profile& p : adapters) {
    char name[8];
    std::snprintf(name, sizeof name, "%04u", slot++);
    HiveKey& key = root.FindOrCreate(emulated::kAdaptersKey + "\\" + name);
    key.SetString("Guid", p.guid);
    key.SetString("Description", p.description);
    key.SetDword("Type", p.type);
    key.SetValue("Mac", kRegBinary, emulated::BinaryOf(p.mac));
    key.SetMultiString("Addresses", {p.address});
    key.SetDword("Hosted", 0);
    key.SetDword("InAdapterList", 1);
    emulated::SetConnectionName(hive, p.guid, p.connection);
  }
}

void WriteHostedNetworkDefaults(Hive& hive, bool supported) {
  HiveKey& hosted = hive.Root().FindOrCreate(emulated::kHostedNetworkKey);
  hosted.SetDword("Supported", supported ? 1 : 0);
  hosted.SetDword("Allowed", 0);
  hosted.SetDword("Started", 0);
  hosted.SetString("AdapterGuid", NewGuid());
  hosted.SetString("ConnectionName", "Drahtlosnetzwerkverbindung 2");
}

}  // namespace

std::string SystemFolder() {
  const std::string dir = emulated::MachineDirectory();
  return dir.empty() ? dir : dir + "/Windows/System32";
}

bool CreateMachine(const std::string& directory, const std::string& programsFolder, bool defaultProfile) {
  if (!MakeDirectories(directory) || !emulated::InitialiseMachineDirectory(directory)) return false;
  const std::string system = directory + "/Windows/System32";
  if (!MakeDirectories(system)) return false;
  std::string folder = programsFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  for (const SystemFile& file : kSystemFiles) {
    const std::string target = folder + "/" + file.buildName;
    const std::string link = system + "/" + file.windowsName;
    unlink(link.c_str());
    if (access(target.c_str(), F_OK) == 0 && symlink(target.c_str(), link.c_str()) != 0) return false;
  }

  return emulated::UpdateMachineIn(directory, [&](Hive& hive) {
           hive.Root().FindOrCreate(emulated::kSystemKey).SetString("ProgramsFolder", folder);
           if (defaultProfile) WriteDefaultProfile(hive);
           WriteHostedNetworkDefaults(hive, defaultProfile);
           return true;
         }) == 0;
}

}  // namespace zl::platform::machine
