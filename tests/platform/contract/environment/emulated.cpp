// The contract cases' machine on Linux: the emulated Windows machine.
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "shared/support/poll_event_loop.h"
#include "tests/platform/contract/contract_environment.h"
#include "tests/support/emulated_machine.h"

namespace zl::contract {

struct MachineScope::Impl {
  test::EmulatedMachine machine;
};

MachineScope::MachineScope() : impl_(std::make_unique<Impl>()) {}
MachineScope::~MachineScope() = default;

namespace {

std::string ProgramForm(std::string native) {
  std::replace(native.begin(), native.end(), '/', '\\');
  return native;
}

}  // namespace

std::string BuiltProgram(const std::string& name) { return ProgramForm(std::string(ZL_CONTRACT_PROGRAMS) + "/" + name); }

std::string ScratchFolder(const std::string& caseName) {
  const std::string native = std::string(ZL_CONTRACT_SCRATCH) + "/" + caseName + "-" + std::to_string(getpid());
  std::filesystem::remove_all(native);
  std::filesystem::create_directories(native);
  return ProgramForm(native);
}

std::vector<LoopKind> EventLoopKinds() {
  auto poll = [](EventLoop& loop) -> PollEventLoop& { return static_cast<PollEventLoop&>(loop); };
  return {{"PollEventLoop", [](Clock& clock) { return std::make_unique<PollEventLoop>(clock); },
           [poll](EventLoop& loop, const std::function<bool()>& done) { return poll(loop).RunUntil(done); },
           [poll](EventLoop& loop) { poll(loop).RunUntilIdle(); },
           [poll](EventLoop& loop, std::chrono::milliseconds d) { poll(loop).RunFor(d); }}};
}

}  // namespace zl::contract
