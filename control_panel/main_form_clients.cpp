// The "Clients" page: the service's address reports turned into one entry
// per device, identified by MAC address, and dropped when it stops answering.
#include <algorithm>

#include "control_panel/main_form.h"
#include "shared/netquery/host_queries.h"
#include "shared/support/trim.h"

namespace zl::panel {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

}  // namespace

void TfrmMain::UpdateClientList(const std::string& text) {
  if (!FHotspotRunning) return;
  try {
    FClientLines = SplitLines(text);
    ClientTimer.SetEnabled(false);
    RemoveUnreachableClients();
    for (const std::string& line : FClientLines) AddOrUpdateClient(line);
  } catch (...) {
  }
  ClientTimer.SetEnabled(true);
  ClientsChanged();
}

void TfrmMain::AddOrUpdateClient(const std::string& line) {
  const std::string mac = netquery::GetMACAddressByIP(line);
  if (Trim(mac).empty() || Trim(mac) == Trim(FOwnMac)) return;
  if (TfmClient* entry = FindClientByMac(mac)) {
    entry->UpdateClient(mac, line);
    return;
  }
  clients_.push_back(std::make_unique<TfmClient>());
  clients_.back()->SetClient(mac, line);
}

void TfrmMain::DestroyClient(TfmClient* entry) {
  const auto owned = std::find_if(clients_.begin(), clients_.end(), [&](const auto& e) { return e.get() == entry; });
  if (owned != clients_.end()) clients_.erase(owned);
}

void TfrmMain::RemoveUnreachableClients() {
  bool removed = false;
  try {
    std::size_t index = 0;
    while (index < ClientFrames().size()) {
      TfmClient* entry = ClientFrames()[index];
      if (entry->ClientReachable()) {
        ++index;
        continue;
      }
      const std::size_t before = ClientFrames().size();
      DestroyClient(entry);
      removed = true;
      // An entry this window does not own cannot be destroyed here.
      if (ClientFrames().size() == before) ++index;
    }
  } catch (...) {
  }
  if (removed) ClientsChanged();
}

void TfrmMain::RemoveAllClients() {
  if (clients_.empty()) return;
  while (!clients_.empty()) clients_.erase(clients_.begin());
  ClientsChanged();
}

void TfrmMain::ClientTimerTimer() {
  ClientTimer.SetEnabled(false);
  RemoveUnreachableClients();
  ClientTimer.SetEnabled(true);
}

}  // namespace zl::panel
