#include "test_panel.h"

#include "shared/messaging/message_codec.h"
#include "shared/messaging/message_codes.h"

namespace zl::servicetest {

TestPanel::TestPanel(EventLoop& loop) : server_(loop) {
  server_.SetBindAddress("127.0.0.1");
  server_.SetPort(kControlPanelPort);
  server_.OnClientDisconnect = [this](EventSender*, TrkConnectionItem& connection) {
    sessionsEnded_ += static_cast<int>(greeted_.erase(&connection));
  };
  server_.OnClientReadComplete = [this](EventSender*, TrkConnectionItem& connection, TMemoryStream& message) {
    switch (ReadMessageCode(message)) {
      case MSG_SERVICE_HELLO:
        ++hellos_;
        greeted_.insert(&connection);
        if (!SettingsOnHello.empty()) connection.Send(NewTextMessage(SettingsOnHello, MSG_SETTINGS));
        break;
      case MSG_CLIENT_ADDRESSES:
        reports_.push_back(ReadMessageText(message));
        break;
      default:
        break;
    }
  };
}

void TestPanel::Listen() { server_.SetActive(true); }
void TestPanel::StopListening() {
  server_.SetActive(false);
  greeted_.clear();
}

void TestPanel::SendToAll(const TMemoryStream& message) {
  for (std::size_t i = 0; i < server_.Connections().Count(); ++i) server_.Connections()[i].Send(message);
}

void TestPanel::SendPing() { SendToAll(NewMessage(MSG_PING)); }
void TestPanel::SendSettings(const std::string& text) { SendToAll(NewTextMessage(text, MSG_SETTINGS)); }

}  // namespace zl::servicetest
