// vorlanex-host: the kernel of the emulated machine. Starts the packet filter
// driver on the user-space kernel host with the machine's registry behind its
// parameters, attaches it above every adapter of the machine (and above the
// hosted network's adapter while it exists), serves its control device to the
// machine's processes and the adapters' frame endpoints, and unloads the
// driver on SIGTERM or SIGINT.
//
// Prints "ready" on its standard output once the control device is served.
// Exit codes: 0 after a clean unload; 1 when it cannot start; 3 when the
// unload left pool memory or the host saw a protocol violation (both logged).
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/entry/driver_state.h"
#include "shared/support/clock.h"
#include "tools/vorlanex_host/machine_adapters.h"
#include "zl/ndishost/control_device_service.h"
#include "zl/ndishost/kernel_host.h"
#include "zl/ndishost/machine_parameters.h"
#include "zl/platform/device_server.h"

namespace {

std::string MachineFolder() {
  const char* machine = std::getenv("ZEPHLINK_MACHINE");
  std::string folder = machine != nullptr ? machine : "";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// Runs until a stop signal; the machine's hive changing may mean the hosted
// network's adapter came or went.
void Serve(int signals, int hiveWatch, zl::vorlanexhost::MachineAdapters& adapters) {
  alignas(inotify_event) char events[4096];
  for (;;) {
    pollfd fds[2] = {{signals, POLLIN, 0}, {hiveWatch, POLLIN, 0}};
    const int count = hiveWatch >= 0 ? 2 : 1;
    if (::poll(fds, nfds_t(count), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    if (count == 2 && (fds[1].revents & POLLIN) != 0) {
      bool hiveChanged = false;
      const ssize_t got = ::read(hiveWatch, events, sizeof events);
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        if (event->len > 0 && std::strcmp(event->name, "hive") == 0) hiveChanged = true;
        at += ssize_t(sizeof(inotify_event) + event->len);
      }
      if (hiveChanged) adapters.Sync();
    }
  }
}

}  // namespace

int main() {
  const std::string machine = MachineFolder();
  if (machine.empty()) {
    std::fprintf(stderr, "vorlanex-host: ZEPHLINK_MACHINE names no machine\n");
    return 1;
  }
  // The stop signals are taken through a descriptor; every thread started
  // from here on inherits the blocked mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  const int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
  const int hiveWatch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (signals < 0 || hiveWatch < 0 ||
      ::inotify_add_watch(hiveWatch, machine.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
    std::fprintf(stderr, "vorlanex-host: cannot watch the machine: %s\n", std::strerror(errno));
    return 1;
  }

  zl::SystemClock clock;
  zl::ndishost::KernelHost host(clock);
  zl::ndishost::MachineParameters parameters;
  host.Registry().SetProvider(&parameters);

  zl::vorlanexhost::MachineAdapters adapters(host, machine + "/Adapters");
  adapters.Sync();
  const NTSTATUS started = host.LoadDriver(DriverEntry);
  if (!NT_SUCCESS(started)) {
    std::fprintf(stderr, "vorlanex-host: the driver did not start (status 0x%08X)\n", unsigned(started));
    adapters.RemoveAll();
    return 1;
  }
  zl::ndishost::ControlDeviceService device(host);
  device.SetHandleObserver([](pid_t pid, bool opened) {
    std::fprintf(stderr, "vorlanex-host: handle of process %d %s\n", int(pid), opened ? "opened" : "closed");
  });
  const std::string devicePath = zl::platform::DeviceSocketPath("VORLANEX");
  if (!device.Start(devicePath)) {
    std::fprintf(stderr, "vorlanex-host: cannot serve %s: %s\n", devicePath.c_str(), std::strerror(errno));
    adapters.StopEndpoints();
    host.UnloadDriver();
    adapters.RemoveAll();
    return 1;
  }
  // The hosted network may have come up while the driver started.
  adapters.Sync();
  std::printf("ready\n");
  std::fflush(stdout);

  Serve(signals, hiveWatch, adapters);

  // No more requests or frames from outside; the handles still open are
  // closed as their processes' handles would be, then the driver goes.
  device.Disconnect();
  adapters.StopEndpoints();
  device.Join();
  host.UnloadDriver();
  adapters.RemoveAll();

  int exitCode = 0;
  for (const std::string& leak : host.Pools().Leaks()) {
    std::fprintf(stderr, "vorlanex-host: pool leak at unload: %s\n", leak.c_str());
    exitCode = 3;
  }
  for (const std::string& violation : host.Violations()) {
    std::fprintf(stderr, "vorlanex-host: violation: %s\n", violation.c_str());
    exitCode = 3;
  }
  std::fprintf(stderr, "vorlanex-host: driver unloaded\n");
  ::close(hiveWatch);
  ::close(signals);
  return exitCode;
}
