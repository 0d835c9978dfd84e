// A second process for the contract cases:
//   zlcontract-helper exit CODE
//   zlcontract-helper hold MUTEX READYFILE RELEASEFILE
// "hold" takes the named mutex, writes "held" (or "taken" when another
// process has it) to READYFILE, and keeps it until RELEASEFILE appears
// (at most 30 seconds).
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "zl/platform/files.h"
#include "zl/platform/named_mutex.h"

int main(int argc, char** argv) {
  using namespace zl::platform;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "exit" && argc == 3) return std::atoi(argv[2]);
  if (mode == "hold" && argc == 5) {
    NamedMutex mutex;
    const NamedMutex::Result result = mutex.Create(argv[2]);
    const std::string ready = argv[3];
    const std::string release = argv[4];
    // The reader waits for the file's text, not for the file to exist.
    if (!CreateOrTruncateFile(ready) ||
        !AppendToExistingFile(ready, result == NamedMutex::Result::Created ? "held" : "taken")) {
      return 3;
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!FileExists(release)) {
      if (std::chrono::steady_clock::now() > giveUp) return 4;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
  }
  return 2;
}
