// A server and a client component on one event loop with a virtual clock,
// talking over real loopback sockets, plus a raw peer for the cases where one
// side must misbehave (stop reading, send half a frame, hang up).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/messaging/client_socket.h"
#include "shared/messaging/frame_format.h"
#include "shared/messaging/server_socket.h"
#include "shared/support/poll_event_loop.h"
#include "zl/platform/tcp_socket.h"

namespace zl::testing {

inline TMemoryStream StreamOf(const std::string& bytes) {
  TMemoryStream stream;
  stream.Write(bytes.data(), bytes.size());
  return stream;
}

inline std::string BytesOf(const TMemoryStream& stream) { return {stream.Bytes().begin(), stream.Bytes().end()}; }

inline std::string FrameOf(const std::string& payload) { return BytesOf(BuildFrame(StreamOf(payload))); }

// One end of a loopback connection driven by hand through the platform calls.
class RawPeer {
 public:
  RawPeer() = default;
  explicit RawPeer(platform::SocketHandle socket) : socket_(socket) {}
  ~RawPeer() { Close(); }
  RawPeer(const RawPeer&) = delete;
  RawPeer& operator=(const RawPeer&) = delete;

  // Starts connecting to 127.0.0.1; the kernel completes it without the server's help.
  void Connect(std::uint16_t port) {
    platform::IPv4Address address = 0;
    ASSERT_TRUE(platform::ParseDottedIPv4("127.0.0.1", address));
    ASSERT_NE(platform::ConnectTcp(address, port, socket_).status, platform::IoStatus::kFailed);
  }

  void SendAll(const std::string& bytes) {
    std::size_t sent = 0;
    for (int tries = 0; sent < bytes.size() && tries < 100000; ++tries) {
      const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data()) + sent;
      const platform::IoResult result = platform::Send(socket_, {data, bytes.size() - sent});
      ASSERT_NE(result.status, platform::IoStatus::kFailed) << platform::SocketErrorText(result.error);
      sent += result.count;
    }
    ASSERT_EQ(sent, bytes.size());
  }

  // Takes whatever has arrived, without waiting; notes an orderly close.
  void Drain() {
    std::uint8_t buffer[65536];
    for (;;) {
      const platform::IoResult result = platform::Receive(socket_, buffer);
      if (result.status == platform::IoStatus::kClosed) {
        closedByPeer_ = true;
        return;
      }
      if (result.status != platform::IoStatus::kDone) return;
      received_.append(reinterpret_cast<const char*>(buffer), result.count);
    }
  }

  void Close() {
    platform::CloseSocket(socket_);
    socket_ = platform::kInvalidSocket;
  }

  const std::string& Received() const { return received_; }
  bool ClosedByPeer() const { return closedByPeer_; }
  platform::SocketHandle Handle() const { return socket_; }

 private:
  platform::SocketHandle socket_ = platform::kInvalidSocket;
  std::string received_;
  bool closedByPeer_ = false;
};

// Splits a byte stream into the payloads of its complete frames.
inline std::vector<std::string> PayloadsOf(const std::string& wire) {
  std::vector<std::string> payloads;
  std::size_t at = 0;
  while (wire.size() - at >= kFrameHeaderSize) {
    const auto header = std::span(reinterpret_cast<const std::uint8_t*>(wire.data()) + at, kFrameHeaderSize);
    EXPECT_TRUE(StartsWithFrameMarker(header));
    const auto length = static_cast<std::size_t>(ReadPayloadLength(header));
    if (wire.size() - at - kFrameHeaderSize < length) break;
    payloads.push_back(wire.substr(at + kFrameHeaderSize, length));
    at += kFrameHeaderSize + length;
  }
  return payloads;
}

class LoopbackTest : public ::testing::Test {
 protected:
  LoopbackTest() {
    server.SetPort(0);
    server.SetBindAddress("127.0.0.1");
    server.SetServerType(stNonBlocking);
    server.OnClientReadComplete = [this](EventSender* sender, TrkConnectionItem&, TMemoryStream& payload) {
      EXPECT_EQ(sender, &server);
      EXPECT_EQ(payload.Position(), 0u);
      serverReceived.push_back(BytesOf(payload));
    };
    client.SetClientType(ctNonBlocking);
    client.OnReadComplete = [this](EventSender* sender, TrkConnectionItem& connection, TMemoryStream& payload) {
      EXPECT_EQ(sender, &client);
      EXPECT_EQ(&connection, &client.ConnectionItem());
      clientReceived.push_back(BytesOf(payload));
    };
  }

  bool RunUntil(const std::function<bool()>& done) { return loop.RunUntil(done, std::chrono::seconds(10)); }

  void StartServer() {
    server.SetActive(true);
    ASSERT_TRUE(server.Active());
    ASSERT_NE(server.BoundPort(), 0);
    client.SetHost("127.0.0.1");
    client.SetPort(server.BoundPort());
  }

  void ConnectClient() {
    const std::size_t before = server.Connections().Count();
    client.SetActive(true);
    ASSERT_TRUE(RunUntil([&] { return client.Active() && server.Connections().Count() == before + 1; }));
  }

  // Connects the client to a plain listening socket instead of the server
  // component and returns the accepted end, for tests that play the peer.
  platform::SocketHandle ConnectClientToRawPeer() {
    int listenError = 0;
    const platform::SocketHandle listener = platform::ListenTcp("127.0.0.1", 0, listenError);
    EXPECT_NE(listener, platform::kInvalidSocket);
    if (listener == platform::kInvalidSocket) return platform::kInvalidSocket;
    client.SetHost("127.0.0.1");
    client.SetPort(platform::LocalPort(listener));
    client.SetActive(true);
    platform::SocketHandle accepted = platform::kInvalidSocket;
    const bool connected = RunUntil([&] {
      if (accepted == platform::kInvalidSocket) platform::AcceptTcp(listener, accepted);
      return accepted != platform::kInvalidSocket && client.Active();
    });
    EXPECT_TRUE(connected);
    platform::CloseSocket(listener);
    return accepted;
  }

  VirtualClock clock;
  PollEventLoop loop{clock};
  TrkServerSocket server{loop};
  TrkClientSocket client{loop};
  std::vector<std::string> serverReceived;
  std::vector<std::string> clientReceived;
};

}  // namespace zl::testing
