#include "tests/support/vorlanex_host.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace zl::test {

namespace {

constexpr int kStartBoundMs = 30000;

std::string Machine() {
  const char* machine = std::getenv("ZEPHLINK_MACHINE");
  return machine ? machine : "";
}

}  // namespace

HostProcess::HostProcess() : logPath_(Machine() + "/vorlanex-host.log") {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::string program = ZL_VORLANEX_HOST;
  char* argv[] = {const_cast<char*>("vorlanex-host"), nullptr};
  const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) {
    pid_ = -1;
    ::close(out[0]);
    return;
  }
  // The host's first line is "ready" once its control device is served; end
  // of file means it gave up.
  std::string line;
  char c;
  pollfd fd{out[0], POLLIN, 0};
  while (::poll(&fd, 1, kStartBoundMs) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  ready_ = line == "ready";
}

HostProcess::~HostProcess() { Stop(); }

int HostProcess::Stop() {
  if (pid_ <= 0) return exitCode_;
  ::kill(pid_, SIGTERM);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return exitCode_;
}

std::string HostProcess::Log() const {
  std::ifstream file(logPath_);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string FrameEndpoint(const std::string& guid, const std::string& side) {
  return Machine() + "/Adapters/" + guid + "/" + side;
}

FrameSocket::FrameSocket(const std::string& endpoint) {
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  // Autobind: an address of its own the endpoint can answer to.
  sockaddr_un self{};
  self.sun_family = AF_UNIX;
  ::bind(fd_, reinterpret_cast<sockaddr*>(&self), sizeof(sa_family_t));
  sockaddr_un peer{};
  peer.sun_family = AF_UNIX;
  std::strncpy(peer.sun_path, endpoint.c_str(), sizeof peer.sun_path - 1);
  ::connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
}

FrameSocket::~FrameSocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool FrameSocket::Send(const Bytes& frame) {
  return ::send(fd_, frame.data(), frame.size(), 0) == ssize_t(frame.size());
}

bool FrameSocket::Register(int timeoutMs) {
  // An empty message makes this socket the endpoint's peer; the endpoint
  // answers it with an empty one.
  if (!Send({})) return false;
  pollfd answered{fd_, POLLIN, 0};
  if (::poll(&answered, 1, timeoutMs) != 1) return false;
  char none;
  return ::recv(fd_, &none, sizeof none, 0) == 0;
}

Bytes FrameSocket::Receive(int timeoutMs) {
  pollfd ready{fd_, POLLIN, 0};
  if (::poll(&ready, 1, timeoutMs) != 1) return {};
  Bytes frame(65536);
  const ssize_t got = ::recv(fd_, frame.data(), frame.size(), 0);
  frame.resize(got > 0 ? std::size_t(got) : 0);
  return frame;
}

std::string WiredAdapterGuid() { return "{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}"; }

Bytes TestFrame(std::uint8_t marker) {
  Bytes frame(60, marker);
  for (int i = 0; i < 6; ++i) frame[std::size_t(i)] = 0xFF;  // broadcast
  const std::uint8_t source[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  std::memcpy(frame.data() + 6, source, 6);
  frame[12] = 0x08;  // IPv4 ethertype, payload of marker bytes
  frame[13] = 0x00;
  return frame;
}

}  // namespace zl::test
