// The machine's kernel host ("vorlanex-host") as a child process of a test,
// and sockets of the test on the frame endpoints of its adapters.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zl::test {

using Bytes = std::vector<std::uint8_t>;

// Starts vorlanex-host on the current machine and waits (bounded) for its
// "ready" line. Its standard error goes to "<machine>/vorlanex-host.log".
class HostProcess {
 public:
  HostProcess();
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool Ready() const { return ready_; }
  pid_t Pid() const { return pid_; }
  // SIGTERM, then waits for the exit. The exit code: 0 when every handle was
  // closed and no pool memory was left, 3 after a leak or violation, -1 when
  // the host did not end normally. Later calls give the same code.
  int Stop();
  std::string Log() const;

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
  int exitCode_ = -1;
  std::string logPath_;
};

// "<machine>/Adapters/<guid>/<side>", side "miniport" or "stack".
std::string FrameEndpoint(const std::string& guid, const std::string& side);

// A datagram socket of the test, bound to an address of its own and talking
// to one frame endpoint.
class FrameSocket {
 public:
  explicit FrameSocket(const std::string& endpoint);
  ~FrameSocket();
  FrameSocket(const FrameSocket&) = delete;
  FrameSocket& operator=(const FrameSocket&) = delete;

  bool Send(const Bytes& frame);
  // Becomes the endpoint's peer; true once the endpoint has confirmed it.
  bool Register(int timeoutMs = 10000);
  // The next frame; empty when none comes within `timeoutMs` (a bound for a
  // failing test, not a wait for a timer).
  Bytes Receive(int timeoutMs = 10000);

 private:
  int fd_ = -1;
};

// The GUID of the default machine's wired adapter, and a broadcast test frame.
std::string WiredAdapterGuid();
Bytes TestFrame(std::uint8_t marker);

}  // namespace zl::test
