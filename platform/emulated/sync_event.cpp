// Manual-reset events of the emulated machine are eventfds: the handle is the
// descriptor number, so a driver host can find the same event in the caller's
// descriptor table. Signalled means the counter is non-zero; waiting only
// polls, resetting reads the counter back to zero.
#include "zl/platform/sync_event.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

namespace zl::platform {

EventHandle CreateManualResetEvent() {
  int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) return kNoEvent;
  if (fd == 0) {
    // Descriptor 0 would read as "no event".
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
    ::close(fd);
    if (moved < 0) return kNoEvent;
    fd = moved;
  }
  return EventHandle(fd);
}

void CloseEventHandle(EventHandle event) {
  if (event > 0) ::close(int(event));
}

void SignalEvent(EventHandle event) {
  if (event <= 0) return;
  const std::uint64_t one = 1;
  // A full counter (EAGAIN) is signalled already.
  while (::write(int(event), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void ClearEvent(EventHandle event) {
  if (event <= 0) return;
  std::uint64_t count = 0;
  while (::read(int(event), &count, sizeof count) < 0 && errno == EINTR) {
  }
}

bool WaitForEvent(EventHandle event, int timeoutMs) {
  if (event <= 0) return false;
  using Steady = std::chrono::steady_clock;
  const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    int wait = timeoutMs;
    if (timeoutMs > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
      wait = left > 0 ? int(left) : 0;
    }
    pollfd fd{int(event), POLLIN, 0};
    const int ready = ::poll(&fd, 1, wait);
    if (ready > 0) return (fd.revents & POLLIN) != 0;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace zl::platform
