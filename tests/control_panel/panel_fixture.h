// A control panel window model on a fresh emulated machine, with a virtual
// clock for the loop and the process, and a program folder of its own. The
// language source answers "text N" for key N, so a caption shows which key
// it was looked up by.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "control_panel/main_form.h"
#include "shared/support/poll_event_loop.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/temp_folder.h"

namespace zl::panel::test {

class PanelTest : public ::testing::Test {
 protected:
  PanelTest();
  ~PanelTest() override;

  // FormCreate and FormShow, as the program runs them.
  void ShowForm();
  // Configures and starts the hosted network behind the window's back.
  void StartHostedNetworkDirectly();
  // A hotspot client that answers address resolution.
  void AddClient(const std::string& mac, const std::string& address, const std::string& hostName = {});
  void SetClientPresent(const std::string& mac, bool present);
  // Makes every netsh of the machine take a few tenths of a second of real
  // time, so that a command's wait pumps the event loop at least once.
  void SlowDownNetsh();
  // The command lines netsh received, one per entry.
  std::vector<std::string> NetshLines() const;
  // Which connections share, as "name:public" / "name:private".
  std::vector<std::string> SharingConnections() const;
  std::string HostedConnectionName() const;

  zl::test::EmulatedMachine machine;
  zl::test::TempFolder programFolder;
  VirtualClock clock;
  PollEventLoop loop{clock};
  std::unique_ptr<TfrmMain> form;
};

}  // namespace zl::panel::test
