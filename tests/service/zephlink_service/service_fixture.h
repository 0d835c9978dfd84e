// A fresh machine, a virtual clock and an event loop of the test's own, in
// which a TZephlinkService runs next to the test's control panel, with the
// machine's kernel host as a real child process and sockets on the hosted
// adapter's two frame endpoints: "clients" (the miniport side) and "stack".
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "service/zephlink_service.h"
#include "shared/support/poll_event_loop.h"
#include "test_panel.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/vorlanex_host.h"

namespace zl::servicetest {

using test::Bytes;

class ServiceTest : public ::testing::Test {
 protected:
  ServiceTest() : loop_(clock_), panel_(loop_) {}
  void TearDown() override;

  void StartHost();
  // Starts the hosted network and waits until the kernel host lists its adapter.
  void StartHotspot();
  void StartService();
  // Host, hotspot and service, until the packet thread diverts the adapter.
  void StartDivertedService();
  // Destroys the service object, lets its packet thread run down and runs
  // the driver release, as the process's exit would.
  void StopService();

  // Runs the loop (without moving the clock) until `done`, bounded.
  bool RunUntil(const std::function<bool()>& done) { return loop_.RunUntil(done, std::chrono::seconds(20)); }
  // The hosted adapter's mode in the driver, or 0xFFFFFFFF when unknown.
  std::uint32_t HostedAdapterMode();
  // Waits until the service's packet thread diverts the hosted adapter.
  bool WaitDiverted();

  // Frames from a client (into the adapter) and from the local stack.
  void FromClient(const Bytes& frame);
  void FromStack(const Bytes& frame);
  // The next frame out of the stack endpoint, or out of the miniport one
  // (towards the clients), while the loop runs; empty after the bound.
  Bytes AtStack();
  Bytes AtClients();
  Bytes NextFrame(test::FrameSocket& socket);

  // Connects the service to the test panel and waits for its hello.
  void ConnectPanel();

  test::EmulatedMachine machine_;
  VirtualClock clock_;
  PollEventLoop loop_;
  TestPanel panel_;
  std::unique_ptr<test::HostProcess> host_;
  std::string hostedGuid_;
  std::unique_ptr<test::FrameSocket> clients_;
  std::unique_ptr<test::FrameSocket> stack_;
  std::unique_ptr<service::TZephlinkService> service_;
};

}  // namespace zl::servicetest
