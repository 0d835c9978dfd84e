// What the boundary's contract cases need from the machine they run on. The
// same cases run natively against the emulated machine and, cross-built,
// under Wine against the Windows backend; only this differs between them.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shared/support/clock.h"
#include "shared/support/event_loop.h"

namespace zl::contract {

// The machine for one case: natively a fresh emulated machine, made the
// process's machine while the scope lives; on Windows the machine as it is.
class MachineScope {
 public:
  MachineScope();
  ~MachineScope();
  MachineScope(const MachineScope&) = delete;
  MachineScope& operator=(const MachineScope&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Path, in the programs' form, of a program built beside the suite
// ("zlsvcdemo", "zlcontract-helper"; ".exe" added where the platform wants it).
std::string BuiltProgram(const std::string& name);
// A new empty folder for one case, in the programs' form.
std::string ScratchFolder(const std::string& caseName);

// The event loops of this platform the socket and loop cases run on.
struct LoopKind {
  std::string name;
  std::function<std::unique_ptr<EventLoop>(Clock&)> make;
  // Runs the loop until `done` holds or a generous wall-clock limit passes.
  std::function<bool(EventLoop&, const std::function<bool()>&)> runUntil;
  std::function<void(EventLoop&)> runUntilIdle;
  std::function<void(EventLoop&, std::chrono::milliseconds)> runFor;
};
std::vector<LoopKind> EventLoopKinds();

}  // namespace zl::contract
