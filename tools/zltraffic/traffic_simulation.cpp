#include "tools/zltraffic/traffic_simulation.h"

#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "zl/platform/machine_state.h"

namespace zl::traffic {

namespace machine = platform::machine;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds kEndpointCheck{1000};
constexpr milliseconds kScheduleCheck{100};
// Clients starting together would all act at the same instants.
constexpr double kJoinSpacingSeconds = 0.25;

std::vector<std::uint8_t> MacBytes(const Mac& mac) { return {mac.begin(), mac.end()}; }

const char* StateName(HotspotClient::State state) {
  switch (state) {
    case HotspotClient::State::Present: return "present";
    case HotspotClient::State::Quiet: return "quiet";
    case HotspotClient::State::Gone: return "left";
  }
  return "?";
}

std::string ClientLine(const HotspotClient& client) {
  const ClientIdentity& id = client.Identity();
  char head[128];
  std::snprintf(head, sizeof head, "client %d  %s  %-15s  %-14s %-8s", id.number, FormatMac(id.mac).c_str(),
                FormatIpv4(id.address).c_str(), id.hostName.c_str(), StateName(client.GetState()));
  return head + client.TallyLine();
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

TrafficSimulation::TrafficSimulation(TrafficOptions options, std::string machineFolder, EventLoop& loop, std::FILE* out)
    : options_(std::move(options)), machineFolder_(std::move(machineFolder)), loop_(loop), out_(out),
      random_(options_.seed) {}

TrafficSimulation::~TrafficSimulation() {
  for (auto id : {endpointTimer_, scheduleTimer_}) {
    if (id) loop_.StopTimer(id);
  }
  for (auto& [number, slot] : clients_) {
    if (slot.activityTimer) loop_.StopTimer(slot.activityTimer);
  }
  for (auto id : {wireWatch_, protocolsWatch_}) {
    if (id) loop_.RemoveWatch(id);
  }
}

void TrafficSimulation::Print(const std::string& line) {
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

bool TrafficSimulation::Start() {
  const machine::HostedNetworkState hosted = machine::ReadHostedNetwork();
  if (hosted.adapterGuid.empty() || hosted.adapterMac.size() != 6) return false;
  adapterGuid_ = hosted.adapterGuid;
  std::copy(hosted.adapterMac.begin(), hosted.adapterMac.end(), hotspotMac_.begin());
  internet_ = std::make_unique<Internet>(hotspotMac_);

  // Everyone not named by a --join joins at the start, a little apart.
  std::vector<bool> lateJoiner(std::size_t(options_.clients) + 1, false);
  for (const ClientEvent& event : options_.events) {
    if (event.kind == ClientEvent::Kind::Join) lateJoiner[std::size_t(event.client)] = true;
  }
  double at = 0;
  for (int number = 1; number <= options_.clients; ++number) {
    if (lateJoiner[std::size_t(number)]) continue;
    pending_.push_back({ClientEvent::Kind::Join, number, at});
    at += kJoinSpacingSeconds;
  }
  pending_.insert(pending_.end(), options_.events.begin(), options_.events.end());
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const ClientEvent& a, const ClientEvent& b) { return a.atSeconds < b.atSeconds; });

  Print("waiting for the hosted network's adapter " + adapterGuid_);
  endpointTimer_ = loop_.StartTimer(kEndpointCheck, [this] { CheckEndpoints(); });
  CheckEndpoints();
  return true;
}

void TrafficSimulation::CheckEndpoints() {
  const std::string folder = machineFolder_ + "/Adapters/" + adapterGuid_;
  const bool present = Exists(folder + "/miniport") && Exists(folder + "/stack");
  if (present && !wire_) {
    wire_ = std::make_unique<FramePort>(folder + "/miniport");
    protocols_ = std::make_unique<FramePort>(folder + "/stack");
    wireWatch_ = loop_.WatchSocket(wire_->Descriptor(), true, false, [this](unsigned) { OnReadable(*wire_, true); });
    protocolsWatch_ =
        loop_.WatchSocket(protocols_->Descriptor(), true, false, [this](unsigned) { OnReadable(*protocols_, false); });
  }
  // Registering again now and then keeps us the endpoints' peer even if the
  // kernel host was restarted; a refused registration means the adapter went.
  if (wire_ && wire_->Register() && protocols_->Register()) return;
  if (wire_) {
    loop_.RemoveWatch(wireWatch_);
    loop_.RemoveWatch(protocolsWatch_);
    wireWatch_ = protocolsWatch_ = 0;
    wire_.reset();
    protocols_.reset();
  }
  wireRegistered_ = protocolsRegistered_ = false;
  if (connected_) Print("the hosted network's adapter is gone; waiting for it");
  connected_ = false;
}

void TrafficSimulation::OnReadable(FramePort& port, bool wireSide) {
  while (auto message = port.Read()) {
    if (message->empty()) {
      (wireSide ? wireRegistered_ : protocolsRegistered_) = true;
      if (wireRegistered_ && protocolsRegistered_ && !connected_) {
        connected_ = true;
        Print("connected to the hosted network's adapter " + adapterGuid_);
        if (!started_) {
          started_ = true;
          startTime_ = loop_.GetClock().Now();
          scheduleTimer_ = loop_.StartTimer(kScheduleCheck, [this] { RunScheduledEvents(); });
          RunScheduledEvents();
        }
      }
      continue;
    }
    if (wireSide) {
      ++framesToClients_;
      const ParsedFrame parsed = ParseFrame(*message);
      for (auto& [number, slot] : clients_) FromClients(slot.client->Receive(parsed));
    } else {
      ++framesToInternet_;
      FromInternet(internet_->Receive(*message));
    }
  }
}

void TrafficSimulation::FromClients(const std::vector<Bytes>& frames) {
  for (const Bytes& frame : frames) {
    if (!connected_ || !wire_->Send(frame)) continue;
    ++framesFromClients_;
    ++sentByKind_[FrameKind(ParseFrame(frame))];
  }
}

void TrafficSimulation::FromInternet(const std::vector<Bytes>& frames) {
  for (const Bytes& frame : frames) {
    if (connected_ && protocols_->Send(frame)) ++framesFromInternet_;
  }
}

void TrafficSimulation::RunScheduledEvents() {
  const double elapsed = double((loop_.GetClock().Now() - startTime_).count()) / 1000.0;
  while (!pending_.empty() && pending_.front().atSeconds <= elapsed) {
    const ClientEvent event = pending_.front();
    pending_.erase(pending_.begin());
    Apply(event.kind, event.client);
  }
}

void TrafficSimulation::Apply(ClientEvent::Kind kind, int number) {
  switch (kind) {
    case ClientEvent::Kind::Join: Join(number); break;
    case ClientEvent::Kind::Quiet: SetQuiet(number, true); break;
    case ClientEvent::Kind::Wake: SetQuiet(number, false); break;
    case ClientEvent::Kind::Leave: Leave(number); break;
  }
}

void TrafficSimulation::Join(int number) {
  if (clients_.count(number)) return;
  ClientSlot& slot = clients_[number];
  slot.client = std::make_unique<HotspotClient>(IdentityOf(number), hotspotMac_);
  const ClientIdentity& id = slot.client->Identity();
  machine::SetClient({MacBytes(id.mac), FormatIpv4(id.address), id.hostName, true});
  Print("client " + std::to_string(number) + " joined: " + FormatMac(id.mac) + " " + FormatIpv4(id.address) + " " +
        id.hostName);
  FromClients(slot.client->Join());
  if (options_.idle) return;
  const auto period = milliseconds(std::max<long>(1, long(1000.0 / options_.rate)));
  slot.activityTimer = loop_.StartTimer(period, [this, number] { NextActivity(number); });
}

void TrafficSimulation::SetQuiet(int number, bool quiet) {
  const auto it = clients_.find(number);
  if (it == clients_.end()) return;
  it->second.client->SetState(quiet ? HotspotClient::State::Quiet : HotspotClient::State::Present);
  machine::SetClientPresent(MacBytes(it->second.client->Identity().mac), !quiet);
  Print("client " + std::to_string(number) + (quiet ? " went quiet" : " answers again"));
}

void TrafficSimulation::Leave(int number) {
  const auto it = clients_.find(number);
  if (it == clients_.end()) return;
  HotspotClient& client = *it->second.client;
  if (it->second.activityTimer) loop_.StopTimer(it->second.activityTimer);
  machine::RemoveClient(MacBytes(client.Identity().mac));
  client.SetState(HotspotClient::State::Gone);
  history_.push_back(ClientLine(client));
  clients_.erase(it);
  Print("client " + std::to_string(number) + " left");
}

void TrafficSimulation::StopActivities() {
  for (auto& [number, slot] : clients_) {
    if (slot.activityTimer) loop_.StopTimer(slot.activityTimer);
    slot.activityTimer = 0;
  }
  if (scheduleTimer_) loop_.StopTimer(scheduleTimer_);
  scheduleTimer_ = 0;
  pending_.clear();
}

void TrafficSimulation::NextActivity(int number) {
  const auto it = clients_.find(number);
  if (it == clients_.end() || !connected_) return;
  const Activity activity = PickActivity(options_.mix, unsigned(random_() % TotalWeight(options_.mix)));
  FromClients(it->second.client->Start(activity, unsigned(random_() % 9)));
}

void TrafficSimulation::PrintClients() {
  for (const auto& line : history_) Print(line);
  for (const auto& [number, slot] : clients_) Print(ClientLine(*slot.client));
}

bool TrafficSimulation::Command(const std::string& line) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  if (command.empty()) return true;
  if (command == "quit") return false;
  if (command == "counts") {
    Print("counts: " + (internet_ ? internet_->CountsLine() : std::string("none")));
    return true;
  }
  if (command == "dropped") {
    Print("dropped: " + DroppedLine());
    return true;
  }
  if (command == "clients") {
    PrintClients();
    return true;
  }
  if (command != "join" && command != "quiet" && command != "wake" && command != "leave" && command != "send") {
    Print("error: unknown command " + command);
    return true;
  }
  int number = 0;
  words >> number;
  if (number < 1 || number > kMaxClients) {
    Print("error: " + command + " needs a client number from 1 to " + std::to_string(kMaxClients));
    return true;
  }
  const std::pair<const char*, ClientEvent::Kind> kinds[] = {{"join", ClientEvent::Kind::Join},
                                                              {"quiet", ClientEvent::Kind::Quiet},
                                                              {"wake", ClientEvent::Kind::Wake},
                                                              {"leave", ClientEvent::Kind::Leave}};
  for (const auto& [name, kind] : kinds) {
    if (command != name) continue;
    if (!connected_) {
      Print("error: not connected to the hosted network's adapter");
    } else {
      Apply(kind, number);
    }
    return true;
  }
  if (command == "send") {
    std::string kind;
    unsigned choice = 0;
    words >> kind >> choice;
    const auto activity = ActivityByName(kind);
    const auto it = clients_.find(number);
    if (!activity) {
      Print("error: unknown activity " + kind);
    } else if (it == clients_.end() || !connected_) {
      Print("error: client " + std::to_string(number) + " is not on the hotspot");
    } else {
      FromClients(it->second.client->Start(*activity, choice));
      Print("sent " + kind + " from client " + std::to_string(number));
    }
  }
  return true;
}

std::string TrafficSimulation::DroppedLine() const {
  std::string line;
  for (const auto& [kind, sent] : sentByKind_) {
    const unsigned reached = internet_ ? internet_->Count(kind) : 0;
    if (sent > reached) line += (line.empty() ? "" : " ") + kind + "=" + std::to_string(sent - reached);
  }
  return line.empty() ? "none" : line;
}

void TrafficSimulation::Finish() {
  for (auto& [number, slot] : clients_) machine::RemoveClient(MacBytes(slot.client->Identity().mac));
  const double elapsed = started_ ? double((loop_.GetClock().Now() - startTime_).count()) / 1000.0 : 0;
  char head[96];
  std::snprintf(head, sizeof head, "zltraffic summary after %.1f s (started/answered per activity):", elapsed);
  Print(head);
  PrintClients();
  Print("internet: " + (internet_ ? internet_->CountsLine() : std::string("none")));
  Print("dropped on the way: " + DroppedLine());
  Print("frames: " + std::to_string(framesFromClients_) + " sent by the clients, " + std::to_string(framesToClients_) +
        " reached them; " + std::to_string(framesToInternet_) + " reached the internet, " +
        std::to_string(framesFromInternet_) + " sent by it");
}

}  // namespace zl::traffic
