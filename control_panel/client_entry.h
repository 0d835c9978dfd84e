// TfmClient: one entry of the "Clients" page, a device on the hotspot known
// by its MAC address, with its IPv4 address and host name. ClientFrames is
// the process-wide list of the entries that exist, in creation order; it
// does not own them: an entry joins it when created and leaves when destroyed.
#pragma once

#include <string>
#include <vector>

#include "control_panel/control.h"

namespace zl::panel {

class TfmClient {
 public:
  TfmClient();
  ~TfmClient();
  TfmClient(const TfmClient&) = delete;
  TfmClient& operator=(const TfmClient&) = delete;

  // A new entry: MAC and address, then the host name by reverse lookup.
  void SetClient(const std::string& mac, const std::string& ip);
  // An existing entry: address and MAC, the host name stays.
  void UpdateClient(const std::string& mac, const std::string& ip);
  // The entry's address still answers address resolution.
  bool ClientReachable() const;

  std::string FMac;
  std::string FIp;
  std::string FClientName;

  Control lbClientName{"lbClientName", ControlKind::Label};
  Control lbMac{"lbMac", ControlKind::Label};
  Control lbIp{"lbIp", ControlKind::Label};

 private:
  void SetMac(const std::string& mac);
  void SetIp(const std::string& ip);
  void SetClientName(const std::string& name);
};

std::vector<TfmClient*>& ClientFrames();

// The first entry whose FMac equals `mac` exactly, or null.
TfmClient* FindClientByMac(const std::string& mac);

}  // namespace zl::panel
