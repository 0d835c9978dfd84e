#include "control_panel/client_entry.h"

#include <algorithm>

#include "shared/netquery/host_queries.h"

namespace zl::panel {

std::vector<TfmClient*>& ClientFrames() {
  static std::vector<TfmClient*> frames;
  return frames;
}

TfmClient::TfmClient() { ClientFrames().push_back(this); }

TfmClient::~TfmClient() {
  auto& frames = ClientFrames();
  frames.erase(std::remove(frames.begin(), frames.end(), this), frames.end());
}

void TfmClient::SetMac(const std::string& mac) {
  FMac = mac;
  lbMac.SetCaption("Mac: " + mac);
}

void TfmClient::SetIp(const std::string& ip) {
  FIp = ip;
  lbIp.SetCaption("IP: " + ip);
}

void TfmClient::SetClientName(const std::string& name) {
  FClientName = name;
  lbClientName.SetCaption(name);
}

void TfmClient::SetClient(const std::string& mac, const std::string& ip) {
  SetMac(mac);
  SetIp(ip);
  SetClientName({});
  SetClientName(netquery::GetHostNameByIP(ip));
}

void TfmClient::UpdateClient(const std::string& mac, const std::string& ip) {
  SetIp(ip);
  SetMac(mac);
}

bool TfmClient::ClientReachable() const { return netquery::HasMACAddress(FIp); }

TfmClient* FindClientByMac(const std::string& mac) {
  for (TfmClient* entry : ClientFrames()) {
    if (entry->FMac == mac) return entry;
  }
  return nullptr;
}

}  // namespace zl::panel
