// Internet connection sharing: the candidate connections of the drop-down
// list with their preselection, and the sharing manager's calls with their
// retry scheme.
#include <chrono>

#include "control_panel/internet_candidates.h"
#include "control_panel/main_form.h"
#include "control_panel/settings/settings_store.h"
#include "shared/netquery/adapter_queries.h"
#include "shared/support/trim.h"

namespace zl::panel {
namespace {

constexpr std::chrono::milliseconds kPauseAfterFailedPass{2000};
constexpr int kPassesDone = 10;
constexpr int kPassFound = 12;
constexpr int kPassStep = 2;

std::string FoldCase(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

int IndexIgnoringCase(const std::vector<std::string>& names, const std::string& name) {
  const std::string wanted = FoldCase(name);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (FoldCase(names[i]) == wanted) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

void TfrmMain::FillInternetList() {
  FInternetNames.clear();
  FInternetAddresses.clear();
  netquery::GetInternetConnections(FInternetNames, FInternetAddresses);
  AddSharingConnections(FInternetNames, FInternetAddresses);
  cbInternet.ClearItems();
  for (std::size_t i = 0; i < FInternetNames.size(); ++i) {
    cbInternet.AddItem(CandidateItemText(FInternetNames[i], FInternetAddresses[i]));
  }
  if (cbInternet.Items().empty()) return;
  cbInternet.SetItemIndex(0);
  const int preferred = IndexIgnoringCase(FInternetNames, settings::ReadInternet());
  if (preferred >= 0) {
    cbInternet.SetItemIndex(preferred);
    return;
  }
  for (std::size_t i = 0; i < FInternetAddresses.size(); ++i) {
    if (!IsLocalAddress(FInternetAddresses[i])) {
      cbInternet.SetItemIndex(static_cast<int>(i));
      return;
    }
  }
}

// A sharing manager that fails while it is walked (or cannot be reached)
// ends the walk there: the candidates found so far stay, and the list is
// still shown and preselected, so the page never stands without its list or
// its set-up mode because of it.
void TfrmMain::AddSharingConnections(std::vector<std::string>& names, std::vector<std::string>& addresses) {
  try {
    const std::string hosted = Trim(netquery::GetHostedNetworkConnectionName());
    for (const std::string& connection : NetSharingManager1.EnumEveryConnection()) {
      const std::string name = Trim(NetSharingManager1.ConnectionName(connection));
      if (name.empty() || name == hosted || IndexIgnoringCase(names, name) >= 0) continue;
      names.push_back(name);
      addresses.push_back("0.0.0.0");
    }
  } catch (const SharingError&) {
  }
}

bool TfrmMain::ShareInternet(const std::string& publicName, const std::string& privateName) {
  try {
    DisableSharingOn(publicName);
    DisableSharingOn(privateName);
    for (const std::string& name : FInternetNames) DisableSharingOn(name);
    EnableSharingOn(publicName, platform::kSharingTypePublic);
    EnableSharingOn(privateName, platform::kSharingTypePrivate);
    return true;
  } catch (...) {
    return false;
  }
}

void TfrmMain::RunSharingPasses(const std::string& name,
                                const std::function<void(const std::string& connection)>& call) {
  int counter = 0;
  while (counter < kPassesDone) {
    try {
      for (const std::string& connection : NetSharingManager1.EnumEveryConnection()) {
        if (NetSharingManager1.ConnectionName(connection) != name) continue;
        call(connection);
        counter = kPassFound;
        break;
      }
      counter += kPassStep;
    } catch (const SharingError&) {
      counter += kPassStep;
      loop_.GetClock().Pause(kPauseAfterFailedPass);
    }
  }
}

void TfrmMain::DisableSharingOn(const std::string& name) {
  RunSharingPasses(name, [this](const std::string& connection) { NetSharingManager1.DisableSharing(connection); });
}

void TfrmMain::EnableSharingOn(const std::string& name, std::int32_t type) {
  RunSharingPasses(name,
                   [this, type](const std::string& connection) { NetSharingManager1.EnableSharing(connection, type); });
}

void TfrmMain::StopSharing() {
  try {
    const std::string hosted = netquery::GetHostedNetworkConnectionName();
    if (!Trim(hosted).empty()) DisableSharingOn(hosted);
    for (const std::string& name : FInternetNames) DisableSharingOn(name);
  } catch (...) {
  }
}

}  // namespace zl::panel
