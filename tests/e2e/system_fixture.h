// The whole system on a fresh emulated machine for one end-to-end test: the
// kernel host, the filtering service installed from a program folder of the
// test's own and started by booting the machine, the control panel's window
// model on the test's thread, simulated clients, and a view on the driver's
// adapter modes through its client library. The machine's clock runs ten
// times faster, so the programs' 5-, 20- and 60-second periods pass quickly.
// Every process is ended when the test ends, also when it failed half-way.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control_panel/main_form.h"
#include "shared/support/clock.h"
#include "shared/support/poll_event_loop.h"
#include "tests/support/child_process.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/temp_folder.h"
#include "tests/support/vorlanex_host.h"

namespace zl::e2e {

inline constexpr std::uint32_t kClockRate = 10;
// A bound on any one awaited change, in real time (a failing test's limit).
inline constexpr std::chrono::milliseconds kPatience{20000};

inline constexpr std::uint32_t kModeDivertBoth = 0x03;

class SystemTest : public ::testing::Test {
 protected:
  SystemTest();
  ~SystemTest() override;

  // ---- The control panel (the window model, as the program runs it) ------
  void OpenPanel();
  // The window closes as a user closes it.
  void ClosePanel();
  // The program is gone without closing its window.
  void KillPanel();
  panel::TfrmMain& Panel() { return *form_; }
  // Automatic set-up with the given name and key and sharing from the first
  // candidate; true once the hotspot runs.
  bool SetUpHotspot(const std::string& name, const std::string& key);
  // The entries of the "Clients" page as "MAC IP name".
  std::vector<std::string> ClientsPage() const;
  std::size_t ServiceConnections() const;

  // Runs the panel's event loop (or, without a panel, waits) until the
  // condition holds; false when kPatience passed first.
  bool RunUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience);

  // ---- The service ------------------------------------------------------
  std::int64_t ServicePid() const;  // 0 when it does not run
  // The process the service manager last started for it, running or not yet (0: none).
  std::int64_t StartedServicePid() const;
  bool ServiceRunning() const { return ServicePid() > 0; }
  // Through the service manager.
  bool StopService();

  // ---- The clients --------------------------------------------------------
  // zltraffic with these arguments; returns once every client has joined.
  void StartTraffic(std::vector<std::string> arguments);
  zl::test::ChildProcess& Traffic() { return *traffic_; }
  // A command to zltraffic, run after whatever it was told before.
  void TellTraffic(const std::string& command);
  // What reached the Internet so far, by kind ("tcp/80", "udp/53", ...).
  std::map<std::string, unsigned> ReachedInternet();
  // Sends the activity from the client, then a page request behind it, and
  // waits for that page to reach the Internet: frames of one client are
  // judged in order, so whatever the activity sent that could pass has
  // passed by then. Returns how many frames of `kind` reached the Internet
  // meanwhile.
  unsigned SendAndCount(int client, const std::string& activity, const std::string& kind);

  // ---- The driver ---------------------------------------------------------
  // The mode of the adapter whose name ends in `guid`; nothing when the
  // driver does not list it.
  std::optional<std::uint32_t> AdapterMode(const std::string& guid);
  std::map<std::string, std::uint32_t> AdapterModes();
  std::string HostedAdapterGuid() const;

  // ---- Files --------------------------------------------------------------
  // Today's URL log beside the service's program ("" when there is none).
  std::string TodaysUrlLog() const;
  std::string TodaysUrlLogFile() const;

  zl::test::EmulatedMachine machine_;
  zl::test::TempFolder programs_;
  std::string programsNative_;
  std::unique_ptr<zl::test::HostProcess> host_;
  std::unique_ptr<SystemClock> clock_;
  std::unique_ptr<PollEventLoop> loop_;
  std::unique_ptr<panel::TfrmMain> form_;
  std::unique_ptr<zl::test::ChildProcess> traffic_;
};

}  // namespace zl::e2e
