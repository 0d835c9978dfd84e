#include "tests/vorlanexapi/round_trip/host_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace zl::vorlanexapitest {

HostProcess::HostProcess() {
  int out[2];
  if (::pipe(out) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string program = std::string(ZL_TOOLS_FOLDER) + "/vorlanex-host";
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) {
    pid_ = -1;
    ::close(out[0]);
    return;
  }
  // "ready" comes once the control device is served; end of file means it gave up.
  std::string text;
  char buffer[64];
  for (;;) {
    const ssize_t got = ::read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, std::size_t(got));
    if (text.find("ready\n") != std::string::npos) {
      ready_ = true;
      break;
    }
  }
  ::close(out[0]);
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

FrameSocket::FrameSocket(const std::string& machine, const std::string& guid, const std::string& endpoint) {
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  // Autobind: an address the endpoint can answer to.
  sockaddr_un self{};
  self.sun_family = AF_UNIX;
  ::bind(fd_, reinterpret_cast<sockaddr*>(&self), sizeof(sa_family_t));
  sockaddr_un peer{};
  peer.sun_family = AF_UNIX;
  const std::string path = machine + "/Adapters/" + guid + "/" + endpoint;
  std::strncpy(peer.sun_path, path.c_str(), sizeof peer.sun_path - 1);
  ::connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  // An empty message makes this socket the endpoint's peer; the endpoint
  // answers it with an empty one, after which frames come here.
  ::send(fd_, "", 0, 0);
  pollfd answered{fd_, POLLIN, 0};
  if (::poll(&answered, 1, 10000) == 1) {
    char none;
    ::recv(fd_, &none, sizeof none, 0);
  }
}

FrameSocket::~FrameSocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool FrameSocket::Send(const Bytes& frame) {
  return ::send(fd_, frame.data(), frame.size(), 0) == ssize_t(frame.size());
}

Bytes FrameSocket::Receive(int timeoutMs) {
  pollfd ready{fd_, POLLIN, 0};
  if (::poll(&ready, 1, timeoutMs) != 1) return {};
  Bytes frame(65536);
  const ssize_t got = ::recv(fd_, frame.data(), frame.size(), 0);
  frame.resize(got > 0 ? std::size_t(got) : 0);
  return frame;
}

}  // namespace zl::vorlanexapitest
