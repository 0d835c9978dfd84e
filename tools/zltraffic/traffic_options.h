// The command line of zltraffic: how many clients, how busy they are, what
// they do, and when each joins, goes quiet or leaves.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tools/zltraffic/hotspot_client.h"

namespace zl::traffic {

struct ClientEvent {
  enum class Kind { Join, Quiet, Wake, Leave };
  Kind kind = Kind::Join;
  int client = 1;
  double atSeconds = 0;  // of the machine's clock, from the start of the traffic
};

struct TrafficOptions {
  int clients = 4;
  double rate = 1.0;  // activities per second of the machine's clock, per client
  // Relative weights of the activities, in the order of kActivities.
  std::array<unsigned, kActivities.size()> mix = {1, 3, 2, 2, 2};
  std::optional<double> forSeconds;  // run this long, then end with the summary
  std::vector<ClientEvent> events;
  unsigned seed = 1;
  bool idle = false;  // clients act only when told to on standard input
};

inline constexpr int kMaxClients = 240;

constexpr const char* kTrafficUsage = R"(usage: zltraffic [OPTIONS]

Simulated hotspot clients on the hosted network's adapter of the machine in
ZEPHLINK_MACHINE, and the Internet behind the hotspot computer.

  --clients N        clients 1..N (default 4, at most 240); all join at the start
                     unless a --join names them
  --rate R           activities per second per client, of the machine's clock (default 1)
  --mix LIST         weights, e.g. dns=1,page=3,image=2,tls=2,p2p=2 (the default);
                     kinds left out keep their weight, 0 switches one off
  --join I@S         client I joins only S seconds after the start
  --quiet I@S        client I goes quiet (stops sending and answering) at S seconds
  --wake I@S         a quiet client I answers again
  --leave I@S        client I leaves the hotspot at S seconds
  --for S            end after S seconds with the summary (default: at Ctrl-C,
                     SIGTERM or "quit")
  --seed N           the choice of activities (default 1)
  --idle             the clients do nothing of their own; "send" makes them act

Commands on standard input, one a line: join I, quiet I, wake I, leave I,
send I KIND [CHOICE] (KIND: dns page image tls p2p), counts (what reached the
Internet), dropped (what the clients sent that did not), clients, quit.
)";

// Nothing, with `error` set, when the arguments are wrong.
std::optional<TrafficOptions> ParseTrafficOptions(const std::vector<std::string>& args, std::string& error);

// The activity a weighted mix gives for a value in [0, total weight).
Activity PickActivity(const std::array<unsigned, kActivities.size()>& mix, unsigned value);
unsigned TotalWeight(const std::array<unsigned, kActivities.size()>& mix);

}  // namespace zl::traffic
