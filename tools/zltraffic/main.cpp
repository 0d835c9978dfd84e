// zltraffic: simulated hotspot clients sending real Ethernet frames into the
// hosted network's adapter of the emulated machine, and the Internet behind
// the hotspot computer answering them on the adapter's protocol side. Prints
// what happens, and a summary per client at the end (--for, "quit", Ctrl-C,
// SIGTERM, or the end of standard input).
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shared/support/clock.h"
#include "shared/support/poll_event_loop.h"
#include "tools/zltraffic/traffic_simulation.h"

namespace {

// Of the machine's clock: long enough for a frame to cross the kernel host
// and the service twice.
constexpr std::chrono::milliseconds kDrainTime{500};

}  // namespace

int main(int argc, char** argv) {
  using namespace zl::traffic;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kTrafficUsage, stdout);
    return 0;
  }
  std::string error;
  const auto options = ParseTrafficOptions(args, error);
  if (!options) {
    std::fprintf(stderr, "zltraffic: %s\n\n%s", error.c_str(), kTrafficUsage);
    return 2;
  }
  const char* machine = std::getenv("ZEPHLINK_MACHINE");
  if (!machine || !*machine) {
    std::fprintf(stderr, "zltraffic: no machine: set ZEPHLINK_MACHINE\n");
    return 2;
  }
  std::string folder = machine;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  const int signals = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
  // A reader that went away must not end us before the clients leave the machine.
  signal(SIGPIPE, SIG_IGN);

  zl::SystemClock clock;
  zl::PollEventLoop loop(clock);
  TrafficSimulation simulation(*options, folder, loop, stdout);
  if (!simulation.Start()) {
    std::fprintf(stderr, "zltraffic: the machine in %s has no hosted network adapter\n", folder.c_str());
    return 1;
  }
  if (clock.Rate() != 1) std::printf("the machine's clock runs %u times real time\n", clock.Rate());

  // Ending: the clients stop starting things, the frames on their way get a
  // moment to arrive (so the summary counts as dropped only what was), then
  // the summary. A second stop request ends at once.
  bool ending = false;
  const auto finish = [&] {
    if (ending) {
      loop.Quit();
      return;
    }
    ending = true;
    simulation.StopActivities();
    loop.StartTimer(kDrainTime, [&] { loop.Quit(); });
  };
  loop.WatchSocket(signals, true, false, [&](unsigned) {
    signalfd_siginfo info;
    while (::read(signals, &info, sizeof info) == ssize_t(sizeof info)) finish();
  });
  std::string typed;
  zl::EventLoop::WatchId input = 0;
  input = loop.WatchSocket(STDIN_FILENO, true, false, [&](unsigned) {
    char buffer[512];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
      // No more commands can come; the traffic goes on until --for or a signal.
      loop.RemoveWatch(input);
      return;
    }
    typed.append(buffer, std::size_t(got));
    for (std::size_t end; (end = typed.find('\n')) != std::string::npos;) {
      const std::string line = typed.substr(0, end);
      typed.erase(0, end + 1);
      if (!simulation.Command(line)) finish();
    }
  });
  if (options->forSeconds) {
    loop.StartTimer(std::chrono::milliseconds(long(*options->forSeconds * 1000)), [&] { finish(); });
  }
  loop.Run();
  simulation.Finish();
  return 0;
}
