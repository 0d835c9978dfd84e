#include "bench/vorlanexapi/bare_round_trip.h"

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <vector>

namespace zl::vorlanexbench {
namespace {

bool SendAll(int fd, const std::uint8_t* data, std::size_t length) {
  while (length > 0) {
    const ssize_t sent = ::send(fd, data, length, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    length -= std::size_t(sent);
  }
  return true;
}

bool ReceiveAll(int fd, std::uint8_t* data, std::size_t length) {
  while (length > 0) {
    const ssize_t got = ::recv(fd, data, length, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    length -= std::size_t(got);
  }
  return true;
}

// The partner: answers every whole request until the stream ends.
[[noreturn]] void Answer(int fd, std::size_t requestBytes, std::size_t answerBytes) {
  std::vector<std::uint8_t> request(requestBytes), answer(answerBytes, 0x11);
  while (ReceiveAll(fd, request.data(), request.size()) && SendAll(fd, answer.data(), answer.size())) {
  }
  ::_exit(0);
}

}  // namespace

BareRoundTrip::BareRoundTrip(std::size_t requestBytes, std::size_t answerBytes)
    : requestBytes_(requestBytes), answerBytes_(answerBytes) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
  child_ = ::fork();
  if (child_ == 0) {
    ::close(pair[0]);
    Answer(pair[1], requestBytes, answerBytes);
  }
  ::close(pair[1]);
  if (child_ < 0) {
    ::close(pair[0]);
    return;
  }
  fd_ = pair[0];
}

BareRoundTrip::~BareRoundTrip() {
  if (fd_ >= 0) ::close(fd_);
  if (child_ > 0) {
    while (::waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
}

bool BareRoundTrip::Once() {
  // Buffers of the caller's, as a client's request and answer would be.
  static thread_local std::vector<std::uint8_t> request, answer;
  request.resize(requestBytes_, 0x22);
  answer.resize(answerBytes_);
  return fd_ >= 0 && SendAll(fd_, request.data(), request.size()) && ReceiveAll(fd_, answer.data(), answer.size());
}

double BareRoundTrip::NanosecondsEach(long rounds) {
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < rounds; ++i) {
    if (!Once()) return 0;
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return double(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) / double(rounds);
}

}  // namespace zl::vorlanexbench
