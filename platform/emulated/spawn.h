// Starting Linux processes for the emulated machine's programs.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zl::platform::emulated {

struct SpawnOptions {
  std::string directory;               // working directory; empty: inherited
  int outputFd = -1;                   // >= 0: the child's standard output and error
  std::vector<std::string> extraEnvironment;  // "NAME=value" entries added
  // Detached: the process is started in a session of its own and is not a
  // child of the caller (nothing has to wait for it), as a service is.
  bool detached = false;
};

// Starts the program with its Windows command line (program name included):
// the Linux arguments are the line split as the C runtime would split it,
// and the exact line travels in the environment for programs of ours that
// parse it themselves. Returns the process id, or -1.
pid_t SpawnProgram(const std::string& path, const std::string& commandLine, const SpawnOptions& options);

}  // namespace zl::platform::emulated
