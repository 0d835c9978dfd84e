// The session to the control panel and the client address report.
#include "service/link/client_address_list.h"
#include "service/zephlink_service.h"
#include "shared/messaging/message_codec.h"
#include "shared/messaging/message_codes.h"

namespace zl::service {

namespace {

// Disabled and enabled again, so a full period starts now.
void Restart(Timer& timer) {
  timer.SetEnabled(false);
  timer.SetEnabled(true);
}

}  // namespace

void TZephlinkService::SocketConnectionTimerTimer() {
  try {
    if (!ClientSocket.Active() && ControlPanelListening()) ClientSocket.SetActive(true);
  } catch (...) {
  }
}

bool TZephlinkService::ControlPanelListening() {
  try {
    if (!PingSocketServer.Active()) PingSocketServer.Open();
    if (PingSocketServer.Active()) {
      PingSocketServer.Close();
      return true;
    }
  } catch (...) {
  }
  return false;
}

void TZephlinkService::ClientSocketConnect(EventSender*, TrkConnectionItem& connection) {
  try {
    SocketConnectionTimer.SetEnabled(false);
    Restart(SocketPingTimer);
    connection.Send(NewMessage(MSG_SERVICE_HELLO));
  } catch (...) {
  }
}

void TZephlinkService::ClientSocketDisconnect(EventSender*, TrkConnectionItem&) {
  try {
    SocketConnectionTimer.SetEnabled(true);
    SocketPingTimer.SetEnabled(false);
  } catch (...) {
  }
}

void TZephlinkService::ClientSocketReadComplete(EventSender*, TrkConnectionItem&, TMemoryStream& message) {
  try {
    switch (ReadMessageCode(message)) {
      case MSG_PING:
        Restart(SocketPingTimer);
        break;
      case MSG_SETTINGS:
        // A later text replaces one the packet thread has not applied yet.
        state_->PendingSettingsText = ReadMessageText(message);
        state_->SettingsPending = true;
        break;
      default:
        break;
    }
  } catch (...) {
  }
}

void TZephlinkService::SocketPingTimerTimer() {
  try {
    ClientSocket.SetActive(false);
    SocketConnectionTimer.SetEnabled(true);
    SocketPingTimer.SetEnabled(false);
  } catch (...) {
  }
}

void TZephlinkService::SendHotspotConnectedMacListTimerTimer() { state_->ReportPending = true; }

void TZephlinkService::SendClientAddressReport() {
  try {
    if (ClientSocket.Active()) {
      const TMemoryStream report =
          NewTextMessage(link::ClientAddressReportText(state_->ClientAddressList), MSG_CLIENT_ADDRESSES);
      ClientSocket.ConnectionItem().Send(report);
    }
  } catch (...) {
  }
  // Sent or not: a report due while no session is active is not kept.
  state_->ClientAddressList.Clear();
}

}  // namespace zl::service
