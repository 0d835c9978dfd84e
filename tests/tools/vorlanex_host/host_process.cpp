#include "host_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace zl::test {

namespace vx = zl::vorlanex;

namespace {

constexpr int kStartBoundMs = 30000;

std::string Machine() { return std::getenv("ZEPHLINK_MACHINE"); }

}  // namespace

HostProcess::HostProcess() : logPath_(Machine() + "/vorlanex-host.log") {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    const int log = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) ::dup2(log, STDERR_FILENO);
    ::execl(ZL_VORLANEX_HOST, "vorlanex-host", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  // The host's first line is "ready" once its control device is served.
  std::string line;
  char c;
  pollfd fd{out[0], POLLIN, 0};
  while (pid_ > 0 && ::poll(&fd, 1, kStartBoundMs) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  ready_ = line == "ready";
}

HostProcess::~HostProcess() {
  if (pid_ > 0) Terminate();
}

int HostProcess::Terminate() {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string HostProcess::Log() const {
  std::ifstream file(logPath_);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

DeviceClient::DeviceClient() : handle_(zl::platform::OpenDevice("\\\\.\\VORLANEX")) {}

DeviceClient::~DeviceClient() { Close(); }

void DeviceClient::Close() {
  if (handle_ != zl::platform::kInvalidDevice) zl::platform::CloseDevice(handle_);
  handle_ = zl::platform::kInvalidDevice;
}

std::uint32_t DeviceClient::Request(std::uint32_t code, const void* input, std::uint32_t inputLength, void* output,
                                    std::uint32_t outputLength, std::uint32_t* bytes) {
  std::uint32_t returned = 0;
  const bool ok = zl::platform::DeviceIoControl(handle_, code, input, inputLength, output, outputLength, returned);
  if (bytes != nullptr) *bytes = returned;
  return ok ? 0 : zl::platform::LastDeviceError();
}

std::uint64_t DeviceClient::AdapterHandle(const std::string& guid) {
  auto list = std::make_unique<vx::AdapterList>();
  if (Request(vx::IOCTL_VORLANEX_GET_ADAPTER_LIST, nullptr, 0, list.get(), sizeof *list) != 0) return 0;
  for (std::uint32_t i = 0; i < list->Count && i < vx::MAX_LISTED_ADAPTERS; ++i) {
    const std::string name = list->Name[i];
    if (name.size() >= guid.size() && name.compare(name.size() - guid.size(), guid.size(), guid) == 0) {
      return list->Handle[i];
    }
  }
  return 0;
}

std::uint32_t DeviceClient::SetMode(std::uint64_t adapter, std::uint32_t mode) {
  vx::AdapterModeRequest request{adapter, mode};
  return Request(vx::IOCTL_VORLANEX_SET_ADAPTER_MODE, &request, sizeof request, nullptr, 0);
}

std::uint32_t DeviceClient::Mode(std::uint64_t adapter) {
  vx::AdapterModeRequest request{adapter, 0xFFFFFFFF};
  if (Request(vx::IOCTL_VORLANEX_GET_ADAPTER_MODE, &request, sizeof request, &request, sizeof request) != 0) {
    return 0xFFFFFFFF;
  }
  return request.Flags;
}

std::uint32_t DeviceClient::InstallPassTable() {
  struct {
    std::uint32_t count;
    vx::FilterRule rule;
  } __attribute__((packed)) table{};
  table.count = 1;
  table.rule.Directions = 3;
  table.rule.Action = 1;
  return Request(vx::IOCTL_VORLANEX_SET_FILTER_TABLE, &table, sizeof table, nullptr, 0);
}

std::uint32_t DeviceClient::TableSize() {
  std::uint32_t size = 0xFFFFFFFF;
  if (Request(vx::IOCTL_VORLANEX_GET_FILTER_TABLE_SIZE, nullptr, 0, &size, sizeof size) != 0) return 0xFFFFFFFF;
  return size;
}

std::uint32_t DeviceClient::SetPacketEvent(std::uint64_t adapter, std::intptr_t event) {
  vx::AdapterEventRequest request{adapter, std::uint64_t(event)};
  return Request(vx::IOCTL_VORLANEX_SET_PACKET_EVENT, &request, sizeof request, nullptr, 0);
}

std::uint32_t DeviceClient::ReadPacket(std::uint64_t adapter, vx::PacketRecord& record) {
  vx::PacketRequest request{adapter, reinterpret_cast<std::uintptr_t>(&record)};
  return Request(vx::IOCTL_VORLANEX_READ_PACKET, &request, sizeof request, &request, sizeof request);
}

FrameSocket::FrameSocket(const std::string& endpoint, const std::string& ownPath)
    : endpoint_(endpoint), ownPath_(ownPath) {
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, ownPath_.c_str(), sizeof address.sun_path - 1);
  ::unlink(ownPath_.c_str());
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

FrameSocket::~FrameSocket() {
  if (fd_ >= 0) ::close(fd_);
  ::unlink(ownPath_.c_str());
}

bool FrameSocket::Send(const std::vector<std::uint8_t>& frame) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, endpoint_.c_str(), sizeof address.sun_path - 1);
  return ::sendto(fd_, frame.data(), frame.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address) ==
         ssize_t(frame.size());
}

bool FrameSocket::Register(int timeoutMs) {
  if (!Send({})) return false;
  pollfd fd{fd_, POLLIN, 0};
  if (::poll(&fd, 1, timeoutMs) <= 0) return false;
  char byte;
  return ::recv(fd_, &byte, 1, 0) == 0;
}

std::vector<std::uint8_t> FrameSocket::Receive(int timeoutMs) {
  pollfd fd{fd_, POLLIN, 0};
  if (::poll(&fd, 1, timeoutMs) <= 0) return {};
  std::vector<std::uint8_t> frame(65536);
  const ssize_t got = ::recv(fd_, frame.data(), frame.size(), 0);
  frame.resize(got > 0 ? std::size_t(got) : 0);
  return frame;
}

std::string WiredAdapterGuid() { return "{3F1D2C4B-8E5A-4B7C-9D21-0A6E5F4C3B2A}"; }

std::vector<std::uint8_t> TestFrame(std::uint8_t marker) {
  std::vector<std::uint8_t> frame(60, marker);
  for (int i = 0; i < 6; ++i) frame[std::size_t(i)] = 0xFF;  // broadcast
  const std::uint8_t source[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  std::memcpy(frame.data() + 6, source, 6);
  frame[12] = 0x08;  // IPv4 ethertype, payload of marker bytes
  frame[13] = 0x00;
  return frame;
}

}  // namespace zl::test
