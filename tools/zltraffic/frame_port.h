// A datagram socket of ours on one frame endpoint of the kernel host (the
// wire side or the protocols' side of an adapter). Autobound, so the endpoint
// can answer it; it becomes the endpoint's peer by writing to it.
#pragma once

#include <optional>
#include <string>

#include "tools/zltraffic/packet.h"

namespace zl::traffic {

class FramePort {
 public:
  explicit FramePort(std::string endpoint);
  ~FramePort();
  FramePort(const FramePort&) = delete;
  FramePort& operator=(const FramePort&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  const std::string& Endpoint() const { return endpoint_; }

  // An empty message: asks to become the endpoint's peer. The endpoint answers
  // with an empty message once that holds. False when the endpoint is not there.
  bool Register() { return Send({}); }
  // False when the endpoint is gone (the adapter detached) or the frame was refused.
  bool Send(const Bytes& frame);
  // The next message waiting, without blocking; nothing when none waits. An
  // empty message is the endpoint's answer to Register.
  std::optional<Bytes> Read();

 private:
  std::string endpoint_;
  int fd_ = -1;
};

}  // namespace zl::traffic
