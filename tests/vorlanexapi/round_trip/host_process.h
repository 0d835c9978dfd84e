// The machine's kernel host ("vorlanex-host") as a child process of a test,
// and sockets on the frame endpoints of its adapters.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zl::vorlanexapitest {

using Bytes = std::vector<std::uint8_t>;

class HostProcess {
 public:
  // Starts the host on the current machine and waits for its "ready".
  HostProcess();
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool Ready() const { return ready_; }
  // Stops the host (SIGTERM) and gives its exit code; -1 when it did not exit normally.
  int Stop();

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
  int exitCode_ = -1;
};

// A datagram socket talking to one frame endpoint ("miniport" or "stack") of
// an adapter; once constructed, the frames the endpoint gives out come to it.
class FrameSocket {
 public:
  FrameSocket(const std::string& machine, const std::string& guid, const std::string& endpoint);
  ~FrameSocket();
  FrameSocket(const FrameSocket&) = delete;
  FrameSocket& operator=(const FrameSocket&) = delete;

  bool Send(const Bytes& frame);
  // The next frame; empty when none comes within `timeoutMs` (a bound for a
  // failing test, not a wait for a timer).
  Bytes Receive(int timeoutMs = 10000);

 private:
  int fd_ = -1;
};

}  // namespace zl::vorlanexapitest
