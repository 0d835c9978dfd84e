// TZephlinkService: the filtering service's main-thread side. It owns the
// timers and the session to the control panel, starts and restarts the
// packet thread TPassThru, holds the filter rules, writes the URL log and
// sends the client address report.
//
// The object lives in an event loop that its owner runs: the service program
// runs it under the service framework, a test runs it in a loop of its own.
// Constructing it runs ServiceCreate, destroying it ServiceDestroy (which
// does not wait for the packet thread). After that the owner lets the
// thread leave (AwaitPacketThreadEnd, packet_thread_end.h) and then runs
// engine::ReleaseDriver, as the program does when its process ends.
#pragma once

#include <memory>
#include <string>

#include "service/engine/pass_thru.h"
#include "service/service_state.h"
#include "shared/messaging/blocking_client_socket.h"
#include "shared/messaging/client_socket.h"
#include "shared/support/event_loop.h"
#include "shared/support/timer.h"

namespace zl::service {

struct ServiceOptions {
  // The URL log's folder, without a trailing "\"; empty: "UrlLog" beside the program.
  std::string UrlLogFolder;
};

class TZephlinkService {
 public:
  explicit TZephlinkService(EventLoop& loop, ServiceOptions options = {});
  ~TZephlinkService();
  TZephlinkService(const TZephlinkService&) = delete;
  TZephlinkService& operator=(const TZephlinkService&) = delete;

  // The components, in the order they are created.
  Timer SendHotspotConnectedMacListTimer;
  Timer CreateThreadTimer;
  TrkClientSocket ClientSocket;
  Timer SocketConnectionTimer;
  Timer SocketPingTimer;
  BlockingClientSocket PingSocketServer;

  // Lifecycle.
  void ServiceCreate();
  void ServiceDestroy();
  void ServiceBeforeUninstall();
  void StartPassThru();
  void StopPassThru();
  void CreateThreadTimerTimer();
  bool PassThruRunning() const { return passThruRunning_; }

  // The link to the control panel.
  void SocketConnectionTimerTimer();
  bool ControlPanelListening();
  void ClientSocketConnect(EventSender* sender, TrkConnectionItem& connection);
  void ClientSocketDisconnect(EventSender* sender, TrkConnectionItem& connection);
  void ClientSocketReadComplete(EventSender* sender, TrkConnectionItem& connection, TMemoryStream& message);
  void SocketPingTimerTimer();
  void SendHotspotConnectedMacListTimerTimer();

  // Run in the main thread as synchronised calls from the packet thread.
  void ApplySettings();
  void SendClientAddressReport();
  void WriteUrlLogLine(const std::string& line);

  ServiceState& State() { return *state_; }

 private:
  // The end-of-thread handler of `ended`.
  void PassThruTerminated(const engine::TPassThru& ended);

  EventLoop& loop_;
  ServiceOptions options_;
  std::shared_ptr<ServiceState> state_;
  // The current packet thread; not owning (the thread frees itself).
  std::weak_ptr<engine::TPassThru> passThru_;
  bool passThruRunning_ = false;
  // The one immediate restart after a thread ended is used up until a thread
  // has bound its adapter again or the retry timer has started one, so a
  // thread that ends at once on every start is retried every 10 seconds.
  bool immediateRestartUsed_ = false;
  bool destroyed_ = false;
};

}  // namespace zl::service
