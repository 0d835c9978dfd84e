// The messages of a control device connection of the emulated machine, shared
// by the client side (device_io.cpp) and the host side (device_server.cpp).
//
// A connection is one open handle. On accept the host answers with one
// OpenReply (the status of the create request). Then each control request is
// a RequestHeader followed by inputLength bytes, answered by a ReplyHeader
// followed by outputBytes bytes (at most the request's outputLength). All
// fields are little-endian as the machine stores them (native on x86-64).
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace zl::platform::devicewire {

inline constexpr std::uint32_t kRequestMagic = 0x5644'4C5A;  // "ZLDV"
// Larger buffers are refused before anything is allocated for them.
inline constexpr std::uint32_t kMaxBufferLength = 64u << 20;

struct OpenReply {
  std::uint32_t status;  // NTSTATUS of the create request
};

struct RequestHeader {
  std::uint32_t magic;
  std::uint32_t controlCode;
  std::uint32_t inputLength;
  std::uint32_t outputLength;
};

struct ReplyHeader {
  std::uint32_t status;       // NTSTATUS the request completed with
  std::uint32_t information;  // bytes the driver reported
  std::uint32_t outputBytes;  // bytes of output that follow
};

// One recvmsg of the next message of a request or its answer, which follow
// each other within microseconds. Where this process may run on more than one
// processor, it first asks without waiting, giving the processor away between
// tries, for up to kSpinFor before it sleeps: a sleeping reader costs a
// wake-up per message, and a wake-up on another processor costs far more than
// the message itself. On one processor the peer runs only while this reader
// waits, so it sleeps at once. What recvmsg returns (errno set on -1; EINTR is
// retried).
inline constexpr auto kSpinFor = std::chrono::microseconds(50);
ssize_t ReceiveSpinning(int fd, msghdr& message);

// Whole-buffer socket transfers; false on end of stream or any error.
bool SendAll(int fd, const void* data, std::size_t length);
bool ReceiveAll(int fd, void* data, std::size_t length);

// A header and its payload with one sendmsg: the reader wakes once for the
// whole message instead of once per piece. False on any error.
bool SendWithPayload(int fd, const void* header, std::size_t headerLength, const void* payload,
                     std::size_t payloadLength);

// The whole header and, from the same reads, as much of the payload as has
// arrived, up to `payloadCapacity` bytes (`payloadGot` says how much). One
// recvmsg when the peer sent both at once. False on end of stream or error.
bool ReceiveWithPayload(int fd, void* header, std::size_t headerLength, void* payload, std::size_t payloadCapacity,
                        std::size_t& payloadGot);

}  // namespace zl::platform::devicewire
