// The control panel's side of the link, played by a test server on
// 127.0.0.1:7467 in the test's own event loop: it counts the service's
// hellos, keeps the address reports it receives, and sends pings and
// settings texts. Like the control panel it may answer every hello with a
// settings text.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "shared/messaging/server_socket.h"
#include "shared/support/event_loop.h"

namespace zl::servicetest {

class TestPanel {
 public:
  explicit TestPanel(EventLoop& loop);

  void Listen();
  // Closes the listener and every connection.
  void StopListening();

  void SendPing();
  void SendSettings(const std::string& text);
  // Sent on every connection the moment a hello arrives; empty: nothing.
  std::string SettingsOnHello;

  std::size_t Connections() { return server_.Connections().Count(); }
  int Hellos() const { return hellos_; }
  // Connections that said hello and have ended (the service's probes, which
  // connect and close at once, are not counted).
  int SessionsEnded() const { return sessionsEnded_; }
  // The texts of the client address reports, in arrival order.
  const std::vector<std::string>& Reports() const { return reports_; }

 private:
  void SendToAll(const TMemoryStream& message);

  TrkServerSocket server_;
  int hellos_ = 0;
  int sessionsEnded_ = 0;
  std::set<const TrkConnectionItem*> greeted_;
  std::vector<std::string> reports_;
};

}  // namespace zl::servicetest
