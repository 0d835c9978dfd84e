// The loaded driver's control device served to other processes of the machine
// (see zl/platform/device_server.h for the socket and its messages).
//
// A connection reaches the driver as the I/O manager's requests would: the
// connect is a create request, each control request a device-control request
// with one system buffer of the larger of input and output length
// (METHOD_BUFFERED), dispatched on the connection's thread with the connecting
// process as requester (RemoteProcess); the handle's end — closed by its
// process or the process gone — is a cleanup request followed by a close. A
// request the driver pends is answered when the driver completes it. The
// output the caller receives is what the I/O manager copies back: the bytes
// the driver reported, unless the status is an error.
#pragma once

#include <functional>
#include <string>

#include "zl/ndishost/kernel_host.h"
#include "zl/platform/device_server.h"

namespace zl::ndishost {

class ControlDeviceService {
 public:
  explicit ControlDeviceService(KernelHost& host) : host_(host) {}
  ~ControlDeviceService() { Stop(); }
  ControlDeviceService(const ControlDeviceService&) = delete;
  ControlDeviceService& operator=(const ControlDeviceService&) = delete;

  // Serves the registered control device at `socketPath`. False (errno set)
  // when the socket cannot be made or no control device is registered.
  bool Start(const std::string& socketPath);
  // Told of every handle after its create, and after its close (opened false),
  // with the process it belongs to. Set before Start.
  void SetHandleObserver(std::function<void(pid_t pid, bool opened)> observer) { observer_ = std::move(observer); }
  // See DeviceServer: Disconnect ends the streams, Join ends the handles.
  void Disconnect() { server_.Disconnect(); }
  void Join() { server_.Join(); }
  void Stop() { server_.Stop(); }
  std::size_t OpenHandles() const { return server_.OpenConnections(); }

 private:
  KernelHost& host_;
  std::function<void(pid_t, bool)> observer_;
  zl::platform::DeviceServer server_;
};

}  // namespace zl::ndishost
