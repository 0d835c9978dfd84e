// The host side of a control device: a listening Unix socket of the machine,
// one thread per connection, one session per connection.
#include "zl/platform/device_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

#include "device_wire.h"
#include "machine_store.h"

namespace zl::platform {
namespace {

// NTSTATUS of a request the host refuses before it reaches the driver.
constexpr std::uint32_t kStatusInsufficientResources = 0xC000009A;
constexpr std::uint32_t kStatusUnsuccessful = 0xC0000001;

// The requests of one connection as they arrive: each read takes whatever the
// client has sent, so a request that came as one message is read with one
// call; bytes of a following request wait here for their turn.
class RequestStream {
 public:
  // What a connection keeps for its requests between them.
  static constexpr std::size_t kKeptBytes = 64 * 1024;

  explicit RequestStream(int fd) : fd_(fd), buffer_(kKeptBytes) {}

  bool Take(void* destination, std::size_t length) {
    if (!Fill(length)) return false;
    std::memcpy(destination, buffer_.data() + start_, length);
    Consume(length);
    return true;
  }

  // `length` bytes into `destination`, which keeps its capacity.
  bool TakeInto(std::vector<std::uint8_t>& destination, std::size_t length) {
    if (!Fill(length)) return false;
    destination.assign(buffer_.begin() + std::ptrdiff_t(start_), buffer_.begin() + std::ptrdiff_t(start_ + length));
    Consume(length);
    return true;
  }

 private:
  // At least `length` unread bytes in the buffer.
  bool Fill(std::size_t length) {
    if (end_ - start_ >= length) return true;
    if (start_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    if (buffer_.size() < length) buffer_.resize(length);
    while (end_ < length) {
      iovec piece{buffer_.data() + end_, buffer_.size() - end_};
      msghdr message{};
      message.msg_iov = &piece;
      message.msg_iovlen = 1;
      const ssize_t got = devicewire::ReceiveSpinning(fd_, message);
      if (got <= 0) return false;
      end_ += std::size_t(got);
    }
    return true;
  }

  void Consume(std::size_t length) {
    start_ += length;
    if (start_ == end_) {
      start_ = end_ = 0;
      // A rare large input does not stay with the connection.
      if (buffer_.size() > kKeptBytes) {
        buffer_.resize(kKeptBytes);
        buffer_.shrink_to_fit();
      }
    }
  }

  int fd_;
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0, end_ = 0;
};

}  // namespace

std::string DeviceSocketPath(const std::string& deviceName) {
  const std::string machine = emulated::MachineDirectory();
  if (machine.empty() || deviceName.empty() || deviceName == "." || deviceName == "..") return {};
  std::string upper;
  for (char c : deviceName) {
    if (c == '/' || c == '\\' || c == '\0') return {};
    upper += char(std::toupper(static_cast<unsigned char>(c)));
  }
  return machine + "/Devices/" + upper;
}

struct DeviceServer::Connection {
  int fd = -1;
  pid_t pid = 0;
  std::thread thread;
  std::atomic<bool> finished{false};
  ~Connection() {
    if (fd >= 0) ::close(fd);
  }
};

DeviceServer::~DeviceServer() { Stop(); }

bool DeviceServer::Start(const std::string& socketPath, SessionFactory factory) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const std::string folder = socketPath.substr(0, socketPath.rfind('/'));
  if (!folder.empty()) ::mkdir(folder.c_str(), 0755);

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A socket left by a host that ended without removing it.
  ::unlink(socketPath.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return false;
  }
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    const int error = errno;
    ::close(fd);
    ::unlink(socketPath.c_str());
    errno = error;
    return false;
  }
  listenFd_ = fd;
  path_ = socketPath;
  factory_ = std::move(factory);
  stopping_ = false;
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void DeviceServer::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (stopping_ || (fds[1].revents & POLLIN) != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || credentials.pid <= 0) {
      ::close(fd);
      continue;
    }
    auto connection = std::make_shared<Connection>();
    connection->fd = fd;
    connection->pid = credentials.pid;
    std::lock_guard lock(mutex_);
    // Threads of connections that have ended are joined here, so a long-running
    // host does not collect them.
    for (auto it = connections_.begin(); it != connections_.end();) {
      if ((*it)->finished) {
        (*it)->thread.join();
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
    if (stopping_) return;
    connection->thread = std::thread([this, connection] { Serve(connection); });
    connections_.push_back(connection);
  }
}

void DeviceServer::Serve(const std::shared_ptr<Connection>& connection) {
  const int fd = connection->fd;
  Opened opened = factory_(connection->pid);
  devicewire::OpenReply openReply{opened.status};
  if (!opened.session || opened.status != 0) {
    // A refused create: the client learns the status, no handle exists.
    if (openReply.status == 0) openReply.status = kStatusUnsuccessful;
    devicewire::SendAll(fd, &openReply, sizeof openReply);
    ::shutdown(fd, SHUT_RDWR);
    connection->finished = true;
    return;
  }
  if (devicewire::SendAll(fd, &openReply, sizeof openReply)) {
    // One request object for the connection: its input keeps its capacity,
    // so a request allocates nothing once the first has been served.
    DeviceControlRequest request;
    RequestStream stream(fd);
    for (;;) {
      devicewire::RequestHeader header{};
      if (!stream.Take(&header, sizeof header)) break;
      if (header.magic != devicewire::kRequestMagic) break;  // not our client: drop the handle
      if (header.inputLength > devicewire::kMaxBufferLength || header.outputLength > devicewire::kMaxBufferLength) {
        // The input is not read; the stream can no longer be followed.
        const devicewire::ReplyHeader answer{kStatusInsufficientResources, 0, 0};
        devicewire::SendAll(fd, &answer, sizeof answer);
        break;
      }
      request.controlCode = header.controlCode;
      request.outputLength = header.outputLength;
      if (!stream.TakeInto(request.input, header.inputLength)) break;
      DeviceControlReply reply = opened.session->Control(request);
      const std::size_t outputBytes = std::min<std::size_t>(reply.output.size(), request.outputLength);
      const devicewire::ReplyHeader answer{reply.status, reply.information, std::uint32_t(outputBytes)};
      const bool sent = devicewire::SendWithPayload(fd, &answer, sizeof answer, reply.output.data(), outputBytes);
      opened.session->Answered();
      if (!sent) break;
      // Nor does it stay in the request.
      if (request.input.capacity() > RequestStream::kKeptBytes) std::vector<std::uint8_t>().swap(request.input);
    }
  }
  // The handle is gone (closed, or its process ended): cleanup and close.
  opened.session.reset();
  // Tells a client waiting in CloseDevice that cleanup and close are done.
  ::shutdown(fd, SHUT_RDWR);
  connection->finished = true;
}

void DeviceServer::Disconnect() {
  stopping_ = true;
  if (wakeFd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
  }
  if (acceptThread_.joinable()) acceptThread_.join();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    listenFd_ = -1;
    ::unlink(path_.c_str());
  }
  std::lock_guard lock(mutex_);
  for (auto& connection : connections_) ::shutdown(connection->fd, SHUT_RDWR);
}

void DeviceServer::Join() {
  std::vector<std::shared_ptr<Connection>> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (auto& connection : connections) {
    if (connection->thread.joinable()) connection->thread.join();
  }
  if (wakeFd_ >= 0) {
    ::close(wakeFd_);
    wakeFd_ = -1;
  }
}

void DeviceServer::Stop() {
  Disconnect();
  Join();
}

std::size_t DeviceServer::OpenConnections() const {
  std::lock_guard lock(mutex_);
  return std::size_t(std::count_if(connections_.begin(), connections_.end(),
                                   [](const auto& connection) { return !connection->finished; }));
}

}  // namespace zl::platform
