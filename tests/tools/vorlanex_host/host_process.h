// vorlanex-host run as a process of the test's machine, and the client side
// of its control device and frame endpoints as a test uses them.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "driver/control/vorlanex_interface.h"
#include "zl/platform/device_io.h"

namespace zl::test {

// Starts vorlanex-host in the current machine and waits (bounded) for its
// "ready" line. Its standard error goes to "<machine>/vorlanex-host.log".
class HostProcess {
 public:
  HostProcess();
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool Ready() const { return ready_; }
  pid_t Pid() const { return pid_; }
  // SIGTERM, then waits for the exit; the exit status (-1 when it did not end
  // normally).
  int Terminate();
  std::string Log() const;

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
  std::string logPath_;
};

// One open handle on "\\.\VORLANEX" with the requests the tests make.
class DeviceClient {
 public:
  DeviceClient();
  ~DeviceClient();
  DeviceClient(const DeviceClient&) = delete;
  DeviceClient& operator=(const DeviceClient&) = delete;

  bool Open() const { return handle_ != zl::platform::kInvalidDevice; }
  void Close();
  // Sends one request; the platform error (0 on success).
  std::uint32_t Request(std::uint32_t code, const void* input, std::uint32_t inputLength, void* output,
                        std::uint32_t outputLength, std::uint32_t* bytes = nullptr);

  // The handle of the adapter whose device name ends in `guid`, or 0.
  std::uint64_t AdapterHandle(const std::string& guid);
  std::uint32_t SetMode(std::uint64_t adapter, std::uint32_t mode);
  std::uint32_t Mode(std::uint64_t adapter);
  std::uint32_t InstallPassTable();
  std::uint32_t TableSize();
  std::uint32_t SetPacketEvent(std::uint64_t adapter, std::intptr_t event);
  std::uint32_t ReadPacket(std::uint64_t adapter, zl::vorlanex::PacketRecord& record);

 private:
  zl::platform::DeviceHandle handle_;
};

// A datagram socket of the test bound to a path of its own, talking to one
// frame endpoint.
class FrameSocket {
 public:
  FrameSocket(const std::string& endpoint, const std::string& ownPath);
  ~FrameSocket();
  FrameSocket(const FrameSocket&) = delete;
  FrameSocket& operator=(const FrameSocket&) = delete;

  bool Send(const std::vector<std::uint8_t>& frame);
  // Becomes the endpoint's peer; true once the endpoint has confirmed it.
  bool Register(int timeoutMs);
  // The next frame, waiting at most `timeoutMs` for it; empty when none came.
  std::vector<std::uint8_t> Receive(int timeoutMs);

 private:
  int fd_ = -1;
  std::string endpoint_;
  std::string ownPath_;
};

// The GUIDs of the default machine's wired adapter, and a broadcast test frame.
std::string WiredAdapterGuid();
std::vector<std::uint8_t> TestFrame(std::uint8_t marker);

}  // namespace zl::test
