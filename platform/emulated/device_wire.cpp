#include "device_wire.h"

#include <sched.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <cerrno>

namespace zl::platform::devicewire {
namespace {

// Moves the vector past `done` bytes; the pieces already passed become empty.
void Advance(iovec* pieces, std::size_t count, std::size_t done) {
  for (std::size_t i = 0; i < count && done > 0; ++i) {
    const std::size_t step = done < pieces[i].iov_len ? done : pieces[i].iov_len;
    pieces[i].iov_base = static_cast<char*>(pieces[i].iov_base) + step;
    pieces[i].iov_len -= step;
    done -= step;
  }
}

// Asked once: a process's processors rarely change while it runs, and a
// wrong answer costs only speed.
bool MayRunOnSeveralProcessors() {
  static const bool several = [] {
    cpu_set_t processors;
    CPU_ZERO(&processors);
    return ::sched_getaffinity(0, sizeof processors, &processors) == 0 && CPU_COUNT(&processors) > 1;
  }();
  return several;
}

}  // namespace

ssize_t ReceiveSpinning(int fd, msghdr& message) {
  const auto until = std::chrono::steady_clock::now() + kSpinFor;
  while (MayRunOnSeveralProcessors()) {
    const ssize_t got = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return got;
    if (std::chrono::steady_clock::now() >= until) break;
    ::sched_yield();
  }
  ssize_t got;
  do {
    got = ::recvmsg(fd, &message, 0);
  } while (got < 0 && errno == EINTR);
  return got;
}

bool SendAll(int fd, const void* data, std::size_t length) {
  return SendWithPayload(fd, data, length, nullptr, 0);
}

bool ReceiveAll(int fd, void* data, std::size_t length) {
  auto* bytes = static_cast<char*>(data);
  while (length > 0) {
    const ssize_t got = ::recv(fd, bytes, length, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    length -= std::size_t(got);
  }
  return true;
}

bool SendWithPayload(int fd, const void* header, std::size_t headerLength, const void* payload,
                     std::size_t payloadLength) {
  iovec pieces[2] = {{const_cast<void*>(header), headerLength}, {const_cast<void*>(payload), payloadLength}};
  std::size_t left = headerLength + payloadLength;
  while (left > 0) {
    msghdr message{};
    // An empty first piece (the header sent already) is skipped over.
    message.msg_iov = pieces[0].iov_len > 0 ? pieces : pieces + 1;
    message.msg_iovlen = pieces[0].iov_len > 0 ? 2 : 1;
    const ssize_t sent = ::sendmsg(fd, &message, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    Advance(pieces, 2, std::size_t(sent));
    left -= std::size_t(sent);
  }
  return true;
}

bool ReceiveWithPayload(int fd, void* header, std::size_t headerLength, void* payload, std::size_t payloadCapacity,
                        std::size_t& payloadGot) {
  payloadGot = 0;
  iovec pieces[2] = {{header, headerLength}, {payload, payloadCapacity}};
  std::size_t headerLeft = headerLength;
  while (headerLeft > 0) {
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = payloadCapacity > 0 ? 2 : 1;
    const ssize_t got = ReceiveSpinning(fd, message);
    if (got <= 0) return false;
    const std::size_t moved = std::size_t(got);
    if (moved >= headerLeft) {
      payloadGot = moved - headerLeft;
      headerLeft = 0;
    } else {
      headerLeft -= moved;
    }
    Advance(pieces, 2, moved);
  }
  return true;
}

}  // namespace zl::platform::devicewire
