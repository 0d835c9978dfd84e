// The whole traffic of the hotspot on one event loop: the clients on the wire
// side of the hosted adapter, the Internet on its protocols' side, the
// clients' entries in the machine (so that address resolution and reverse
// lookups answer while a client is present), the timers of their activities
// and of the scheduled joins, silences and departures, and the commands
// typed on standard input.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "shared/support/event_loop.h"
#include "tools/zltraffic/frame_port.h"
#include "tools/zltraffic/hotspot_client.h"
#include "tools/zltraffic/internet.h"
#include "tools/zltraffic/traffic_options.h"

namespace zl::traffic {

class TrafficSimulation {
 public:
  // `machineFolder`: the machine's directory (native path); `out` gets the
  // progress lines and the summary.
  TrafficSimulation(TrafficOptions options, std::string machineFolder, EventLoop& loop, std::FILE* out);
  ~TrafficSimulation();

  // Begins looking for the hosted adapter's endpoints; false when the
  // machine has no hosted network configured to look for.
  bool Start();
  // One command line as typed on standard input; false for "quit".
  bool Command(const std::string& line);
  // The clients start nothing new; what is on its way still arrives.
  void StopActivities();
  // Clients leave the machine; the summary is printed.
  void Finish();
  // "tcp/6881=12 ..." for the kinds of which fewer frames reached the
  // Internet than the clients sent; "none" when every one arrived.
  std::string DroppedLine() const;

 private:
  struct ClientSlot {
    std::unique_ptr<HotspotClient> client;
    EventLoop::TimerId activityTimer = 0;
  };

  void CheckEndpoints();
  void OnReadable(FramePort& port, bool wireSide);
  void FromClients(const std::vector<Bytes>& frames);   // into the adapter, from the wire side
  void FromInternet(const std::vector<Bytes>& frames);  // down from the protocols' side
  void RunScheduledEvents();
  void Apply(ClientEvent::Kind kind, int number);
  void Join(int number);
  void Leave(int number);
  void SetQuiet(int number, bool quiet);
  void NextActivity(int number);
  void PrintClients();
  void Print(const std::string& line);

  TrafficOptions options_;
  std::string machineFolder_;
  EventLoop& loop_;
  std::FILE* out_;
  std::string adapterGuid_;
  Mac hotspotMac_{};
  std::unique_ptr<Internet> internet_;
  std::unique_ptr<FramePort> wire_;       // the miniport endpoint
  std::unique_ptr<FramePort> protocols_;  // the stack endpoint
  EventLoop::WatchId wireWatch_ = 0, protocolsWatch_ = 0;
  bool wireRegistered_ = false, protocolsRegistered_ = false;
  bool connected_ = false;
  bool started_ = false;  // the first connection started the schedule
  std::chrono::milliseconds startTime_{0};
  EventLoop::TimerId endpointTimer_ = 0, scheduleTimer_ = 0;
  std::map<int, ClientSlot> clients_;  // by number; joined ones only
  std::vector<ClientEvent> pending_;   // scheduled, not yet due
  std::vector<std::string> history_;   // of clients that left, for the summary
  std::mt19937 random_;
  std::map<std::string, unsigned> sentByKind_;  // frames the clients sent, as the Internet counts them
  unsigned framesFromClients_ = 0, framesToClients_ = 0, framesToInternet_ = 0, framesFromInternet_ = 0;
};

}  // namespace zl::traffic
