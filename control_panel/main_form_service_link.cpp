// Supervision of the filtering service and the server end of the link to it:
// the service check, the pings, the answer to a hello and the reports.
#include "control_panel/main_form.h"
#include "control_panel/settings/settings_text.h"
#include "shared/messaging/message_codes.h"
#include "shared/messaging/message_codec.h"
#include "shared/syscmd/service_commands.h"

namespace zl::panel {

void TfrmMain::HotspotServiceTimerTimer() {
  try {
    if (!syscmd::IsServiceRunning("", kFilterServiceName)) syscmd::StartServiceAndWait("", kFilterServiceName);
  } catch (...) {
    // The next tick tries again; the window never stops the service.
  }
}

void TfrmMain::HotspotSocketPingTimerTimer() {
  try {
    const TMemoryStream ping = NewMessage(MSG_PING);
    auto& connections = HotspotServerSocket.Connections();
    for (std::size_t i = 0; i < connections.Count(); ++i) connections[i].Send(ping);
  } catch (...) {
    // An error ends this round; the next ping tries again.
  }
}

void TfrmMain::HotspotServerSocketClientReadComplete(TrkConnectionItem&, TMemoryStream& message) {
  try {
    switch (ReadMessageCode(message)) {
      case MSG_SERVICE_HELLO:
        SendSettingsToAll();
        break;
      case MSG_CLIENT_ADDRESSES:
        UpdateClientList(ReadMessageText(message));
        break;
      default:
        break;
    }
  } catch (...) {
  }
}

void TfrmMain::SendSettingsToAll() {
  try {
    const TMemoryStream message = NewTextMessage(settings::JoinSettingsLines(FSettingsLines), MSG_SETTINGS);
    auto& connections = HotspotServerSocket.Connections();
    for (std::size_t i = 0; i < connections.Count(); ++i) connections[i].Send(message);
  } catch (...) {
  }
}

}  // namespace zl::panel
