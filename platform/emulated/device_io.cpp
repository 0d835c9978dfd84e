// The client side of a driver's control device on the emulated machine: a
// handle is one connection to the device's socket (see device_server.h), a
// control request travels by value (input bytes out, output bytes back) and
// pointers inside an input stay addresses of this process, which the driver's
// host reads and writes in place.
#include "zl/platform/device_io.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "device_wire.h"
#include "zl/platform/device_server.h"
#include "zl/platform/errors.h"

namespace zl::platform {
namespace {

constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kErrorNoAccess = 998;
constexpr std::uint32_t kErrorIoPending = 997;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorInsufficientResources = 1450;
constexpr std::uint32_t kErrorOperationAborted = 995;
constexpr std::uint32_t kErrorMrMidNotFound = 317;  // what Windows answers for a status it has no error for

thread_local std::uint32_t lastError = kErrorSuccess;

constexpr std::size_t kKeptAnswerBytes = 1u << 20;

// One open handle; requests on it are serialised as on a synchronous handle.
struct OpenDeviceHandle {
  int fd = -1;
  std::mutex requestMutex;
  bool broken = false;  // the stream lost its place; every further request fails
  bool opened = false;  // the create succeeded: closing has a cleanup to wait for
  // Where answers arrive before their output is copied out (only a success or
  // a warning copies it); kept between requests so that none allocates.
  std::vector<std::uint8_t> answer;
  // Closing waits, as CloseHandle does, until the driver has seen the
  // handle's cleanup and close: the host ends the stream once they are done.
  ~OpenDeviceHandle() {
    if (fd < 0) return;
    if (!opened) {
      ::close(fd);
      return;
    }
    ::shutdown(fd, SHUT_WR);
    char drain[256];
    ssize_t got;
    do {
      got = ::recv(fd, drain, sizeof drain, 0);
    } while (got > 0 || (got < 0 && errno == EINTR));
    ::close(fd);
  }
};

std::mutex handlesMutex;
std::map<DeviceHandle, std::shared_ptr<OpenDeviceHandle>> handles;

std::shared_ptr<OpenDeviceHandle> FindHandle(DeviceHandle device) {
  std::lock_guard lock(handlesMutex);
  auto it = handles.find(device);
  return it == handles.end() ? nullptr : it->second;
}

// RtlNtStatusToDosError for the statuses a driver answers with.
std::uint32_t ErrorOfStatus(std::uint32_t status) {
  switch (status) {
    case 0xC000000D: return kErrorInvalidParameter;        // STATUS_INVALID_PARAMETER
    case 0xC0000001: return kErrorGenFailure;              // STATUS_UNSUCCESSFUL, NDIS_STATUS_FAILURE
    case 0xC0000010: return kErrorInvalidFunction;         // STATUS_INVALID_DEVICE_REQUEST
    case 0xC0000002: return kErrorInvalidFunction;         // STATUS_NOT_IMPLEMENTED
    case 0xC00000BB: return kErrorNotSupported;            // STATUS_NOT_SUPPORTED, NDIS_STATUS_NOT_SUPPORTED
    case 0xC0000005: return kErrorNoAccess;                // STATUS_ACCESS_VIOLATION
    case 0xC0000008: return kErrorInvalidHandle;           // STATUS_INVALID_HANDLE
    case 0xC0000022: return kErrorAccessDenied;            // STATUS_ACCESS_DENIED
    case 0xC0000023: return kErrorInsufficientBuffer;      // STATUS_BUFFER_TOO_SMALL
    case 0xC0000017: return kErrorNotEnoughMemory;         // STATUS_NO_MEMORY
    case 0xC000009A: return kErrorInsufficientResources;   // STATUS_INSUFFICIENT_RESOURCES
    case 0xC0000120: return kErrorOperationAborted;        // STATUS_CANCELLED
    case 0xC0000034: return kErrorFileNotFound;            // STATUS_OBJECT_NAME_NOT_FOUND
    case 0x80000005: return kErrorMoreData;                // STATUS_BUFFER_OVERFLOW
    case 0x00000103: return kErrorIoPending;               // STATUS_PENDING
    default: return kErrorMrMidNotFound;
  }
}

bool IsErrorStatus(std::uint32_t status) { return status >> 30 == 3; }

}  // namespace

DeviceHandle OpenDevice(const std::string& dosDeviceName) {
  static const std::string kPrefix = "\\\\.\\";
  if (dosDeviceName.compare(0, kPrefix.size(), kPrefix) != 0) {
    lastError = kErrorFileNotFound;
    return kInvalidDevice;
  }
  const std::string path = DeviceSocketPath(dosDeviceName.substr(kPrefix.size()));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    lastError = path.empty() ? kErrorFileNotFound : kErrorInvalidName;
    return kInvalidDevice;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

  auto handle = std::make_shared<OpenDeviceHandle>();
  handle->fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (handle->fd < 0) {
    lastError = kErrorInsufficientResources;
    return kInvalidDevice;
  }
  int connected;
  do {
    connected = ::connect(handle->fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  } while (connected != 0 && errno == EINTR);
  if (connected != 0) {
    // No socket, or a socket nobody serves any more: the device does not exist.
    lastError = errno == EACCES ? kErrorAccessDenied : kErrorFileNotFound;
    return kInvalidDevice;
  }
  // The create request's status.
  devicewire::OpenReply reply{};
  if (!devicewire::ReceiveAll(handle->fd, &reply, sizeof reply)) {
    lastError = kErrorFileNotFound;
    return kInvalidDevice;
  }
  if (reply.status != 0) {
    lastError = ErrorOfStatus(reply.status);
    return kInvalidDevice;
  }
  handle->opened = true;
  const DeviceHandle device = handle->fd;
  std::lock_guard lock(handlesMutex);
  handles[device] = std::move(handle);
  lastError = kErrorSuccess;
  return device;
}

void CloseDevice(DeviceHandle device) {
  std::shared_ptr<OpenDeviceHandle> handle;
  {
    std::lock_guard lock(handlesMutex);
    auto it = handles.find(device);
    if (it == handles.end()) return;
    handle = std::move(it->second);
    handles.erase(it);
  }
  // A request still running on another thread keeps the connection until it
  // has its answer; then the last reference closes it.
}

bool DeviceIoControl(DeviceHandle device, std::uint32_t controlCode, const void* input, std::uint32_t inputLength,
                     void* output, std::uint32_t outputLength, std::uint32_t& bytesReturned) {
  bytesReturned = 0;
  std::shared_ptr<OpenDeviceHandle> handle = FindHandle(device);
  if (!handle) {
    lastError = kErrorInvalidHandle;
    return false;
  }
  if ((input == nullptr && inputLength != 0) || (output == nullptr && outputLength != 0)) {
    lastError = kErrorInvalidParameter;
    return false;
  }
  if (inputLength > devicewire::kMaxBufferLength || outputLength > devicewire::kMaxBufferLength) {
    lastError = kErrorInsufficientResources;
    return false;
  }

  std::lock_guard lock(handle->requestMutex);
  if (handle->broken) {
    lastError = kErrorGenFailure;
    return false;
  }
  const devicewire::RequestHeader header{devicewire::kRequestMagic, controlCode, inputLength, outputLength};
  devicewire::ReplyHeader reply{};
  std::vector<std::uint8_t>& received = handle->answer;
  if (received.size() < outputLength) received.resize(outputLength);
  // The whole request in one message, the answer with the reads that bring
  // its header: a request costs the host one wake-up and this thread one.
  std::size_t got = 0;
  bool ok = devicewire::SendWithPayload(handle->fd, &header, sizeof header, input, inputLength) &&
            devicewire::ReceiveWithPayload(handle->fd, &reply, sizeof reply, received.data(), outputLength, got) &&
            reply.outputBytes <= outputLength && got <= reply.outputBytes;
  if (ok) ok = devicewire::ReceiveAll(handle->fd, received.data() + got, reply.outputBytes - got);
  if (!ok) {
    // The host went away or answered out of turn.
    handle->broken = true;
    lastError = kErrorGenFailure;
    return false;
  }
  // As the I/O manager does for buffered requests: output is copied back
  // unless the status is an error; only success counts as success.
  if (!IsErrorStatus(reply.status) && reply.outputBytes > 0) std::memcpy(output, received.data(), reply.outputBytes);
  // A rare large answer does not stay with the handle.
  if (received.size() > kKeptAnswerBytes) std::vector<std::uint8_t>().swap(received);
  if (reply.status != 0) {
    lastError = ErrorOfStatus(reply.status);
    return false;
  }
  bytesReturned = reply.information;
  lastError = kErrorSuccess;
  return true;
}

std::uint32_t LastDeviceError() { return lastError; }

}  // namespace zl::platform
