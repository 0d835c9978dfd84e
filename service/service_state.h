// The service's process-wide state: what the main thread and the packet
// thread share. The packet thread reads the rules and notes addresses while
// the main thread touches them only inside a synchronised call (while the
// packet thread waits for it), so nothing here needs a lock; the two request
// flags are set by the main thread and cleared by the packet thread.
//
// Shared ownership: a packet thread that is still running down after the
// service object has gone keeps its state alive.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "service/engine/filter_rules.h"
#include "service/engine/url_log_line.h"
#include "service/link/client_address_list.h"

namespace zl::service {

class TZephlinkService;

struct ServiceState {
  engine::FilterRules FilterRules;
  link::ClientAddressList ClientAddressList;
  std::string PendingSettingsText;  // main thread only
  std::atomic<bool> SettingsPending{false};
  std::atomic<bool> ReportPending{false};
  std::unique_ptr<engine::UrlLogLineWriter> UrlLog;  // main thread only

  // The service object, for the synchronised calls; main thread only, and
  // null once the object is destroyed (a late call then does nothing).
  TZephlinkService* Service = nullptr;
};

}  // namespace zl::service
