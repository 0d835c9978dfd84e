#include "shared/notify/message_monitor.h"

#include <algorithm>

namespace zl {
namespace {

// Exists before any monitor can be created and is never torn down, so a
// monitor destroyed during program exit still finds it.
std::vector<TrkMessageMonitor*>& Monitors() {
  static auto* monitors = new std::vector<TrkMessageMonitor*>();
  return *monitors;
}

}  // namespace

TrkMessageMonitor::TrkMessageMonitor() { Monitors().push_back(this); }

TrkMessageMonitor::~TrkMessageMonitor() {
  auto& monitors = Monitors();
  monitors.erase(std::remove(monitors.begin(), monitors.end(), this), monitors.end());
}

const std::vector<TrkMessageMonitor*>& MonitorList() { return Monitors(); }

void BroadcastMessage(std::uint32_t code) {
  TMessage message;
  message.Msg = code;
  const auto& monitors = Monitors();
  const std::size_t count = monitors.size();
  for (std::size_t i = 0; i < count && i < monitors.size(); ++i) {
    // A copy: the handler may destroy its own monitor while it runs.
    const TrkMessageEvent handler = monitors[i]->OnMessage;
    if (!handler) continue;
    try {
      handler(message);
    } catch (...) {
      // One monitor's failure is no reason to keep the code from the others.
    }
  }
}

}  // namespace zl
