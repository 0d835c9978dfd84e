#include "zl/platform/poller.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace zl::platform {

struct Poller::Impl {
  int wakeFd = -1;
  std::vector<pollfd> fds;  // reused between waits
};

Poller::Poller() : impl_(std::make_unique<Impl>()) {
  impl_->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (impl_->wakeFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

Poller::~Poller() { close(impl_->wakeFd); }

int Poller::Wait(std::span<PollEntry> entries, int timeoutMs) {
  auto& fds = impl_->fds;
  fds.clear();
  fds.push_back({impl_->wakeFd, POLLIN, 0});
  for (const PollEntry& e : entries) {
    short events = 0;
    if (e.wantRead) events |= POLLIN;
    if (e.wantWrite) events |= POLLOUT;
    fds.push_back({static_cast<int>(e.socket), events, 0});
  }
  int n;
  do {
    n = poll(fds.data(), fds.size(), timeoutMs < 0 ? -1 : timeoutMs);
  } while (n < 0 && errno == EINTR);
  if (n < 0) throw std::system_error(errno, std::generic_category(), "poll");

  if (fds[0].revents & POLLIN) {
    std::uint64_t drained;
    while (read(impl_->wakeFd, &drained, sizeof drained) > 0) {
    }
  }
  int readyCount = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    short r = fds[i + 1].revents;
    unsigned ready = 0;
    if (r & POLLIN) ready |= kReadable;
    if (r & POLLOUT) ready |= kWritable;
    if (r & (POLLHUP | POLLERR | POLLNVAL)) ready |= kHangUp;
    entries[i].ready = ready;
    if (ready) ++readyCount;
  }
  return readyCount;
}

void Poller::Wake() {
  std::uint64_t one = 1;
  // A full counter already means "wake up"; nothing to add then.
  [[maybe_unused]] ssize_t written = write(impl_->wakeFd, &one, sizeof one);
}

}  // namespace zl::platform
