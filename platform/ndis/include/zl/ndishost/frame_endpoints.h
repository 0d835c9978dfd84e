// The two frame endpoints of one adapter of the kernel host, as Unix datagram
// sockets in a folder of the machine (one Ethernet frame per message):
//
//   <folder>/miniport  the wire side, towards the adapter's clients. A frame
//                      written here is received by the adapter and goes up
//                      through the driver; frames that reach the miniport come
//                      out here.
//   <folder>/stack     the protocol side. A frame written here is sent down by
//                      the protocols through the driver; frames indicated up to
//                      the protocols come out here.
//
// Frames come out to the endpoint's peer: the socket that last wrote to it. An
// empty message only registers the writer and is answered with an empty
// message once the registration holds. A client binds its socket to a
// path or autobinds it so that it has an address to answer to. With no peer,
// or when the peer's queue is full, an outgoing frame is dropped as a wire
// would drop it.
//
// One thread serves both sockets. Each wake-up takes every message waiting on
// a side at once (up to a batch) and hands the frames that came in a row from
// the same writer to the adapter as one chain, as a miniport indicates what
// one interrupt brought: a burst costs one wake-up, not one per frame.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "zl/ndishost/emulated_adapter.h"

namespace zl::ndishost {

class FrameEndpoints {
 public:
  // Largest message taken from an endpoint; longer ones are cut to this.
  static constexpr std::size_t kMaxMessage = 65536;

  FrameEndpoints(EmulatedAdapter& adapter, std::string folder);
  ~FrameEndpoints();
  FrameEndpoints(const FrameEndpoints&) = delete;
  FrameEndpoints& operator=(const FrameEndpoints&) = delete;

  // Makes the folder and both sockets and starts carrying frames. False (errno
  // set) when a socket cannot be made.
  bool Start();
  // Stops carrying frames and removes the sockets.
  void Stop();

  const std::string& Folder() const { return folder_; }

 private:
  struct Outlet;
  struct Batch;
  void ReceiveLoop();
  void Carry(bool miniportSide, Batch& batch, std::size_t count);

  EmulatedAdapter& adapter_;
  std::string folder_;
  std::shared_ptr<Outlet> outlet_;
  int wakeFd_ = -1;
  std::thread thread_;
};

}  // namespace zl::ndishost
