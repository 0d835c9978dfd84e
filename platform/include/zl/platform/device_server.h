// The host side of a driver's control device on the emulated machine (Linux
// only; the kernel host serves it, the system's own code reaches the device
// through device_io.h).
//
// A control device is a Unix stream socket of the machine at
// "<machine>/Devices/<NAME>" (NAME in upper case, as "\\.\NAME" names it).
// One connection is one open handle: the connection's session is made when a
// client connects (the create request) and ended when the client closes its
// handle or its process ends (cleanup and close). Each connection is served on
// a thread of its own, one request at a time, as a synchronous handle is.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zl::platform {

// Native path of the device's socket in the current machine; empty without a
// machine or for a name that cannot be a device name.
std::string DeviceSocketPath(const std::string& deviceName);

struct DeviceControlRequest {
  std::uint32_t controlCode = 0;
  std::vector<std::uint8_t> input;
  std::uint32_t outputLength = 0;
};

struct DeviceControlReply {
  std::uint32_t status = 0;       // NTSTATUS
  std::uint32_t information = 0;  // bytes the driver reported
  // What the caller's output buffer receives (at most outputLength bytes).
  std::vector<std::uint8_t> output;
};

// One open handle as the driver side sees it.
class DeviceSession {
 public:
  // Ending the session is the handle's cleanup and close.
  virtual ~DeviceSession() = default;
  // Runs one control request to its completion (a request the driver pends
  // blocks here until the driver completes it).
  virtual DeviceControlReply Control(const DeviceControlRequest& request) = 0;
  // Called after each answer has been sent (or could not be): work the
  // request set off that its caller need not wait for runs here.
  virtual void Answered() {}
};

class DeviceServer {
 public:
  // Makes the session of a new connection from the process `callerPid`; the
  // status is that of the create request (a failure refuses the open).
  struct Opened {
    std::uint32_t status = 0;
    std::unique_ptr<DeviceSession> session;
  };
  using SessionFactory = std::function<Opened(pid_t callerPid)>;

  DeviceServer() = default;
  ~DeviceServer();
  DeviceServer(const DeviceServer&) = delete;
  DeviceServer& operator=(const DeviceServer&) = delete;

  // Listens at `socketPath` (a stale socket there is replaced). False with
  // errno set when the socket cannot be made.
  bool Start(const std::string& socketPath, SessionFactory factory);
  // Stops accepting, removes the socket and ends every connection's stream;
  // requests already running finish. Then Join waits for the connection
  // threads, which end their sessions. Stop does both.
  void Disconnect();
  void Join();
  void Stop();

  std::size_t OpenConnections() const;

 private:
  struct Connection;
  void AcceptLoop();
  void Serve(const std::shared_ptr<Connection>& connection);

  SessionFactory factory_;
  std::string path_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  std::thread acceptThread_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Connection>> connections_;
};

}  // namespace zl::platform
