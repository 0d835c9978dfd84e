#include "zl/platform/stop_request.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace zl::platform {
namespace {

int stopPipeWrite = -1;

// Only async-signal-safe work: one byte into the pipe (a full pipe already
// tells the loop enough).
void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(stopPipeWrite, &byte, 1);
  errno = saved;
}

}  // namespace

SocketHandle WatchStopRequests() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return kInvalidSocket;
  stopPipeWrite = fds[1];
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(SIGTERM, &action, nullptr) != 0 || sigaction(SIGINT, &action, nullptr) != 0) {
    close(fds[0]);
    close(fds[1]);
    stopPipeWrite = -1;
    return kInvalidSocket;
  }
  return fds[0];
}

}  // namespace zl::platform
