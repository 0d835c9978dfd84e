#include "tests/support/emulated_machine.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "zl/platform/machine_state.h"

namespace zl::test {

EmulatedMachine::EmulatedMachine(bool defaultProfile) {
  if (const char* previous = std::getenv("ZEPHLINK_MACHINE")) {
    previous_ = previous;
    hadPrevious_ = true;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "zlmachine-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a machine directory");
  directory_ = pattern;
  if (!platform::machine::CreateMachine(directory_, ProgramsFolder(), defaultProfile)) {
    throw std::runtime_error("cannot create a machine in " + directory_);
  }
  setenv("ZEPHLINK_MACHINE", directory_.c_str(), 1);
}

EmulatedMachine::~EmulatedMachine() {
  // Services started on this machine run detached; they end with it.
  for (const auto& service : platform::machine::ListServices()) {
    if (service.pid > 0) kill(static_cast<pid_t>(service.pid), SIGKILL);
  }
  if (hadPrevious_) {
    setenv("ZEPHLINK_MACHINE", previous_.c_str(), 1);
  } else {
    unsetenv("ZEPHLINK_MACHINE");
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

std::string EmulatedMachine::ReadFile(const std::string& name) const {
  std::ifstream in(directory_ + "/" + name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string EmulatedMachine::ProgramsFolder() { return ZL_MACHINE_PROGRAMS_DIR; }

}  // namespace zl::test
