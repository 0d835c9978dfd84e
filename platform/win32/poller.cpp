// Readiness through WSAPoll. Wake() sends a byte to a loopback datagram
// socket that is connected to itself and always part of the wait.
#include "zl/platform/poller.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "loopback_wake.h"

namespace zl::platform {

struct Poller::Impl {
  SOCKET wake = INVALID_SOCKET;
  std::vector<WSAPOLLFD> fds;  // reused between waits
};

namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string(what) + " failed, socket error " + std::to_string(WSAGetLastError()));
}

}  // namespace

Poller::Poller() : impl_(std::make_unique<Impl>()) {
  impl_->wake = win32::MakeLoopbackWakeSocket();
  if (impl_->wake == INVALID_SOCKET) Fail("wake socket");
}

Poller::~Poller() { closesocket(impl_->wake); }

int Poller::Wait(std::span<PollEntry> entries, int timeoutMs) {
  auto& fds = impl_->fds;
  fds.clear();
  fds.push_back({impl_->wake, POLLRDNORM, 0});
  for (const PollEntry& e : entries) {
    SHORT events = 0;
    if (e.wantRead) events |= POLLRDNORM;
    if (e.wantWrite) events |= POLLWRNORM;
    fds.push_back({static_cast<SOCKET>(e.socket), events, 0});
  }
  const int n = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs < 0 ? -1 : timeoutMs);
  if (n == SOCKET_ERROR) Fail("WSAPoll");

  if (fds[0].revents & POLLRDNORM) {
    char drained[64];
    while (recv(impl_->wake, drained, sizeof drained, 0) > 0) {
    }
  }
  int readyCount = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const SHORT r = fds[i + 1].revents;
    unsigned ready = 0;
    if (r & POLLRDNORM) ready |= kReadable;
    if (r & POLLWRNORM) ready |= kWritable;
    if (r & (POLLHUP | POLLERR | POLLNVAL)) ready |= kHangUp;
    entries[i].ready = ready;
    if (ready) ++readyCount;
  }
  return readyCount;
}

void Poller::Wake() {
  const char one = 1;
  // A full queue already means "wake up"; a failed send changes nothing.
  send(impl_->wake, &one, 1, 0);
}

}  // namespace zl::platform
