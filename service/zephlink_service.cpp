#include "service/zephlink_service.h"

#include "service/engine/url_log_file.h"
#include "shared/messaging/message_codes.h"
#include "shared/netquery/adapter_queries.h"
#include "shared/support/trim.h"
#include "shared/syscmd/hosted_network_commands.h"

namespace zl::service {

namespace {

constexpr const char* kControlPanelHost = "127.0.0.1";

void Configure(Timer& timer, unsigned interval, bool enabled) {
  timer.SetEnabled(false);
  timer.SetInterval(interval);
  timer.SetEnabled(enabled);
}

}  // namespace

TZephlinkService::TZephlinkService(EventLoop& loop, ServiceOptions options)
    : SendHotspotConnectedMacListTimer(loop),
      CreateThreadTimer(loop),
      ClientSocket(loop),
      SocketConnectionTimer(loop),
      SocketPingTimer(loop),
      loop_(loop),
      options_(std::move(options)) {
  Configure(SendHotspotConnectedMacListTimer, 20000, true);
  SendHotspotConnectedMacListTimer.OnTimer = [this] { SendHotspotConnectedMacListTimerTimer(); };
  Configure(CreateThreadTimer, 10000, false);
  CreateThreadTimer.OnTimer = [this] { CreateThreadTimerTimer(); };
  ClientSocket.SetClientType(ctNonBlocking);
  ClientSocket.SetHost(kControlPanelHost);
  ClientSocket.SetPort(kControlPanelPort);
  ClientSocket.OnConnect = [this](EventSender* s, TrkConnectionItem& c) { ClientSocketConnect(s, c); };
  ClientSocket.OnDisconnect = [this](EventSender* s, TrkConnectionItem& c) { ClientSocketDisconnect(s, c); };
  ClientSocket.OnReadComplete = [this](EventSender* s, TrkConnectionItem& c, TMemoryStream& m) {
    ClientSocketReadComplete(s, c, m);
  };
  Configure(SocketConnectionTimer, 1000, false);
  SocketConnectionTimer.OnTimer = [this] { SocketConnectionTimerTimer(); };
  Configure(SocketPingTimer, 60000, false);
  SocketPingTimer.OnTimer = [this] { SocketPingTimerTimer(); };
  PingSocketServer.Host = kControlPanelHost;
  PingSocketServer.Port = kControlPanelPort;
  ServiceCreate();
}

TZephlinkService::~TZephlinkService() {
  ServiceDestroy();
  // The session closes with its component; its events must not reach the
  // timers, which are destroyed first.
  ClientSocket.OnConnect = nullptr;
  ClientSocket.OnDisconnect = nullptr;
  ClientSocket.OnReadComplete = nullptr;
}

void TZephlinkService::ServiceCreate() {
  try {
    // Fresh state: the rules at their defaults (firewall and URL log off,
    // default ports allowed), no addresses, nothing pending.
    state_ = std::make_shared<ServiceState>();
    state_->Service = this;
    state_->UrlLog = std::make_unique<engine::UrlLogFile>(
        options_.UrlLogFolder.empty() ? engine::DefaultUrlLogFolder() : options_.UrlLogFolder, loop_.GetClock());
    passThruRunning_ = false;
  } catch (...) {
  }
  StartPassThru();
  CreateThreadTimer.SetEnabled(!passThruRunning_);
  SocketConnectionTimer.SetEnabled(true);
}

void TZephlinkService::ServiceDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  StopPassThru();
  // A thread that ended but whose end-of-thread call has not run yet must
  // not reach this object either.
  if (const auto thread = passThru_.lock()) thread->DropTerminateHandler();
  if (state_) state_->Service = nullptr;
}

void TZephlinkService::ServiceBeforeUninstall() {
  try {
    syscmd::DisallowHostedNetwork();
  } catch (...) {
  }
}

void TZephlinkService::StartPassThru() {
  try {
    // The MAC address only tells whether the hosted network's adapter exists.
    if (Trim(netquery::GetHostedNetworkMAC()).empty() || passThruRunning_) return;
    auto thread = std::make_shared<engine::TPassThru>(loop_, state_);
    engine::TPassThru* ended = thread.get();
    thread->OnTerminate = [this, ended] { PassThruTerminated(*ended); };
    passThru_ = thread;
    CreateThreadTimer.SetEnabled(false);
    passThruRunning_ = true;
    try {
      thread->Resume();
    } catch (...) {
      // No thread could be made: nothing will end, so nothing would restart.
      passThruRunning_ = false;
      CreateThreadTimer.SetEnabled(true);
    }
  } catch (...) {
  }
}

void TZephlinkService::StopPassThru() {
  try {
    const auto thread = passThru_.lock();
    if (!passThruRunning_ || !thread) return;
    thread->DropTerminateHandler();  // no restart follows
    thread->Terminate();
    // No waiting here; the wake-up lets a thread asleep on an idle adapter
    // see the request now instead of at the next frame.
    thread->Wake();
  } catch (...) {
  }
}

void TZephlinkService::CreateThreadTimerTimer() {
  immediateRestartUsed_ = false;
  StartPassThru();
}

void TZephlinkService::PassThruTerminated(const engine::TPassThru& ended) {
  try {
    passThruRunning_ = false;
    if (ended.Bound()) immediateRestartUsed_ = false;
    if (!immediateRestartUsed_) {
      immediateRestartUsed_ = true;
      StartPassThru();
    }
    CreateThreadTimer.SetEnabled(!passThruRunning_);
  } catch (...) {
  }
}

void TZephlinkService::ApplySettings() { engine::ApplySettings(state_->PendingSettingsText, state_->FilterRules); }

void TZephlinkService::WriteUrlLogLine(const std::string& line) {
  if (state_->UrlLog) state_->UrlLog->WriteUrlLogLine(line);
}

}  // namespace zl::service
