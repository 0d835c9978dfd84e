#include "zl/ndishost/frame_endpoints.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "after_answer.h"
#include "host_internals.h"

namespace zl::ndishost {
namespace {

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

int BindDatagramSocket(const std::string& path) {
  sockaddr_un address;
  if (!MakeAddress(path, address)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

}  // namespace

// The sockets and the peers frames go out to. Shared with the adapter's
// arrival hook, which may still be running on another thread while the
// endpoints stop, and with work put off until a request's answer.
struct FrameEndpoints::Outlet {
  struct Side {
    int fd = -1;
    sockaddr_un peer = {};
    socklen_t peerLength = 0;
    std::vector<DeliveredFrame> waiting;  // taken from the adapter, not yet sent
  };
  std::mutex mutex;
  Side miniport;
  Side stack;

  ~Outlet() {
    if (miniport.fd >= 0) ::close(miniport.fd);
    if (stack.fd >= 0) ::close(stack.fd);
  }

  // Every waiting frame to the side's peer, up to kChunk with one sendmmsg.
  // A frame the peer's full queue refuses is dropped; the next is tried.
  static void SendWaiting(Side& side) {
    constexpr std::size_t kChunk = 32;
    std::vector<DeliveredFrame>& frames = side.waiting;
    if (side.peerLength == 0) frames.clear();
    std::array<iovec, kChunk> pieces;
    std::array<mmsghdr, kChunk> messages;
    for (std::size_t at = 0; at < frames.size();) {
      const std::size_t count = std::min(kChunk, frames.size() - at);
      for (std::size_t i = 0; i < count; ++i) {
        pieces[i] = {frames[at + i].bytes.data(), frames[at + i].bytes.size()};
        messages[i] = {};
        messages[i].msg_hdr.msg_name = &side.peer;
        messages[i].msg_hdr.msg_namelen = side.peerLength;
        messages[i].msg_hdr.msg_iov = &pieces[i];
        messages[i].msg_hdr.msg_iovlen = 1;
      }
      int sent;
      do {
        sent = ::sendmmsg(side.fd, messages.data(), unsigned(count), MSG_DONTWAIT | MSG_NOSIGNAL);
      } while (sent < 0 && errno == EINTR);
      at += sent > 0 ? std::size_t(sent) : 0;
      if (sent < int(count)) ++at;  // the frame refused
    }
    frames.clear();
  }

  // What reached either side of the adapter, in order, into the waiting lists.
  void Take(EmulatedAdapter& adapter) {
    std::lock_guard lock(mutex);
    for (auto& frame : adapter.TakeMiniportFrames()) miniport.waiting.push_back(std::move(frame));
    for (auto& frame : adapter.TakeStackFrames()) stack.waiting.push_back(std::move(frame));
  }

  // Taking and sending under one lock keeps the frames of each side in order.
  void Send() {
    std::lock_guard lock(mutex);
    SendWaiting(miniport);
    SendWaiting(stack);
  }
};

FrameEndpoints::FrameEndpoints(EmulatedAdapter& adapter, std::string folder)
    : adapter_(adapter), folder_(std::move(folder)) {}

FrameEndpoints::~FrameEndpoints() { Stop(); }

bool FrameEndpoints::Start() {
  ::mkdir(folder_.c_str(), 0755);
  auto outlet = std::make_shared<Outlet>();
  outlet->miniport.fd = BindDatagramSocket(folder_ + "/miniport");
  if (outlet->miniport.fd < 0) return false;
  outlet->stack.fd = BindDatagramSocket(folder_ + "/stack");
  if (outlet->stack.fd < 0) {
    const int error = errno;
    ::unlink((folder_ + "/miniport").c_str());
    errno = error;
    return false;
  }
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    const int error = errno;
    ::unlink((folder_ + "/miniport").c_str());
    ::unlink((folder_ + "/stack").c_str());
    errno = error;
    return false;
  }
  outlet_ = outlet;
  adapter_.SetRecording(true);
  EmulatedAdapter* adapter = &adapter_;
  adapter_.SetArrivalHook([outlet, adapter] {
    // The frames are taken from the adapter at once (it may be gone by the
    // answer); sending them waits for the answer on a thread serving a request.
    outlet->Take(*adapter);
    if (!DeferUntilAnswered(outlet.get(), [outlet] { outlet->Send(); })) outlet->Send();
  });
  thread_ = std::thread([this] { ReceiveLoop(); });
  return true;
}

// What one wake-up of the thread takes from a side's socket: every message
// waiting, up to kBatch, with one recvmmsg. The slots are as large as the
// largest message, but only the pages a frame touches are ever used.
struct FrameEndpoints::Batch {
  static constexpr std::size_t kBatch = 32;
  // Not zeroed: pages no frame reaches are never touched.
  std::unique_ptr<std::uint8_t[]> bytes{new std::uint8_t[kBatch * kMaxMessage]};
  std::array<sockaddr_un, kBatch> from{};
  std::array<iovec, kBatch> pieces{};
  std::array<mmsghdr, kBatch> messages{};
  std::vector<ListShape> lists;

  // The number of messages taken (0 when none was waiting or on error).
  std::size_t Receive(int fd) {
    for (std::size_t i = 0; i < kBatch; ++i) {
      pieces[i] = {bytes.get() + i * kMaxMessage, kMaxMessage};
      messages[i] = {};
      messages[i].msg_hdr.msg_name = &from[i];
      messages[i].msg_hdr.msg_namelen = sizeof from[i];
      messages[i].msg_hdr.msg_iov = &pieces[i];
      messages[i].msg_hdr.msg_iovlen = 1;
    }
    int got;
    do {
      got = ::recvmmsg(fd, messages.data(), unsigned(kBatch), MSG_DONTWAIT, nullptr);
    } while (got < 0 && errno == EINTR);
    return got > 0 ? std::size_t(got) : 0;
  }
};

// Frames of one side that came in a row from the side's peer go up or down
// as one chain of lists, as a miniport indicates what one interrupt brought.
// A message from another writer, or a registration, first delivers what came
// before it, so that each frame still meets the peer it would have met alone.
void FrameEndpoints::Carry(bool miniportSide, Batch& batch, std::size_t count) {
  Outlet::Side& side = miniportSide ? outlet_->miniport : outlet_->stack;
  auto deliver = [&] {
    if (batch.lists.empty()) return;
    const EventfdSignalBatch signals;
    if (miniportSide) {
      adapter_.ReceiveFromMiniport(batch.lists);
    } else {
      adapter_.SendFromStack(batch.lists);
    }
    batch.lists.clear();
  };
  for (std::size_t i = 0; i < count; ++i) {
    const sockaddr_un& from = batch.from[i];
    const socklen_t fromLength = batch.messages[i].msg_hdr.msg_namelen;
    const std::size_t length = batch.messages[i].msg_len;
    // An unbound writer has no address to answer to; it leaves the peer as it is.
    if (fromLength > sizeof(sa_family_t)) {
      bool samePeer;
      {
        std::lock_guard lock(outlet_->mutex);
        samePeer = side.peerLength == fromLength && std::memcmp(&side.peer, &from, fromLength) == 0;
      }
      if (!samePeer) {
        // The frames before it still go out under the peer they came to.
        deliver();
        std::lock_guard lock(outlet_->mutex);
        side.peer = from;
        side.peerLength = fromLength;
      }
    }
    if (length == 0) {
      deliver();
      // A registration: answered with an empty message, so the writer knows
      // frames come out to it from now on.
      if (fromLength > sizeof(sa_family_t)) {
        ::sendto(side.fd, nullptr, 0, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&from),
                 fromLength);
      }
      continue;
    }
    const std::uint8_t* data = batch.bytes.get() + i * kMaxMessage;
    batch.lists.emplace_back();
    batch.lists.back().frames.emplace_back();
    batch.lists.back().frames.back().bytes.assign(data, data + length);
  }
  deliver();
}

void FrameEndpoints::ReceiveLoop() {
  Batch batch;
  for (;;) {
    pollfd fds[3] = {{outlet_->miniport.fd, POLLIN, 0}, {outlet_->stack.fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[2].revents != 0) return;
    for (int i = 0; i < 2; ++i) {
      if ((fds[i].revents & POLLIN) == 0) continue;
      const int fd = i == 0 ? outlet_->miniport.fd : outlet_->stack.fd;
      Carry(i == 0, batch, batch.Receive(fd));
    }
  }
}

void FrameEndpoints::Stop() {
  if (!thread_.joinable()) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
  thread_.join();
  adapter_.SetArrivalHook(nullptr);
  ::close(wakeFd_);
  wakeFd_ = -1;
  ::unlink((folder_ + "/miniport").c_str());
  ::unlink((folder_ + "/stack").c_str());
  ::rmdir(folder_.c_str());
  outlet_.reset();
}

}  // namespace zl::ndishost
