#include "zl/platform/message_box.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "common/message_box_observer.h"
#include "machine_store.h"
#include "native_names.h"

namespace zl::platform {
// The emulated machine has no screen: the box is printed, and recorded in
// the machine's "MessageBoxes.log" so that a test can read what another
// process showed. The user is taken to have pressed OK.
int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  if (common::ObserveMessageBox(text, caption, flags)) return kIdOk;
  const std::string line = "[" + emulated::Cp1252ToUtf8(caption) + "] " + emulated::Cp1252ToUtf8(text);
  std::fprintf(stderr, "%s\n", line.c_str());
  const std::string machine = emulated::MachineDirectory();
  if (!machine.empty()) {
    const int fd = open((machine + "/MessageBoxes.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd >= 0) {
      const std::string record = line + "\n";
      [[maybe_unused]] const ssize_t written = write(fd, record.data(), record.size());
      close(fd);
    }
  }
  return kIdOk;
}

}  // namespace zl::platform
