// The frame endpoints of one adapter of an in-process kernel host with no
// driver above it: what is written to one side comes out of the other, to
// the side's peer, in the order it was written, bursts included.
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/support/clock.h"
#include "zl/ndishost/frame_endpoints.h"
#include "zl/ndishost/kernel_host.h"

namespace zl::ndishost {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kBoundMs = 10000;

sockaddr_un AddressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

// A socket bound to its own path that writes to one endpoint. Connected to
// it, as a frame endpoint's client is, so that the endpoint's frames are
// never refused for a full queue while the test is not reading yet.
class Writer {
 public:
  Writer(const std::string& path, const std::string& endpoint) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_un self = AddressOf(path);
    const sockaddr_un peer = AddressOf(endpoint);
    ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&self), sizeof self) == 0 &&
          ::connect(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
  }
  ~Writer() {
    if (fd_ >= 0) ::close(fd_);
    ::unlink(path_.c_str());
  }
  bool Ok() const { return ok_; }
  bool Send(const Bytes& frame) { return ::send(fd_, frame.data(), frame.size(), 0) == ssize_t(frame.size()); }
  // An empty message, answered with an empty one once it holds.
  bool Register() { return Send({}) && Next(kBoundMs).has_value(); }
  // The next message within the bound; nullopt when none comes.
  std::optional<Bytes> Next(int timeoutMs) {
    pollfd ready{fd_, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMs) != 1) return std::nullopt;
    Bytes frame(2048);
    const ssize_t got = ::recv(fd_, frame.data(), frame.size(), 0);
    if (got < 0) return std::nullopt;
    frame.resize(std::size_t(got));
    return frame;
  }

 private:
  std::string path_;
  int fd_ = -1;
  bool ok_ = false;
};

// A frame that names its writer and its number, of a length that varies.
Bytes NumberedFrame(std::uint8_t writer, std::uint32_t number) {
  Bytes frame(60 + (number * 37) % 1454, writer);
  std::memcpy(frame.data(), &number, sizeof number);
  return frame;
}

class FrameEndpointsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zl-endpoints-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    adapter_ = &host_.AddAdapter(AdapterConfig{});
    endpoints_ = std::make_unique<FrameEndpoints>(*adapter_, folder_ + "/adapter");
    ASSERT_TRUE(endpoints_->Start());
  }
  void TearDown() override {
    endpoints_->Stop();
    EXPECT_TRUE(host_.Violations().empty());
    ::rmdir(folder_.c_str());
  }
  std::string Endpoint(const char* side) const { return folder_ + "/adapter/" + side; }
  std::string Own(const char* name) const { return folder_ + "/" + name; }

  std::string folder_;
  zl::VirtualClock clock_;
  KernelHost host_{clock_};
  EmulatedAdapter* adapter_ = nullptr;
  std::unique_ptr<FrameEndpoints> endpoints_;
};

TEST_F(FrameEndpointsTest, ABurstLongerThanOneTakeComesOutWholeAndInOrder) {
  Writer wire(Own("wire"), Endpoint("miniport"));
  Writer protocols(Own("protocols"), Endpoint("stack"));
  ASSERT_TRUE(wire.Ok() && protocols.Ok());
  ASSERT_TRUE(protocols.Register());
  constexpr std::uint32_t kBurst = 100;
  for (std::uint32_t i = 0; i < kBurst; ++i) ASSERT_TRUE(wire.Send(NumberedFrame(1, i)));
  for (std::uint32_t i = 0; i < kBurst; ++i) {
    const std::optional<Bytes> frame = protocols.Next(kBoundMs);
    ASSERT_TRUE(frame.has_value()) << "frame " << i << " lost";
    ASSERT_EQ(*frame, NumberedFrame(1, i));
  }
  EXPECT_FALSE(protocols.Next(0).has_value());
}

TEST_F(FrameEndpointsTest, WritersTakingTurnsKeepTheirOrderAndTheLastOfThemIsThePeer) {
  Writer first(Own("first"), Endpoint("miniport"));
  Writer second(Own("second"), Endpoint("miniport"));
  Writer protocols(Own("protocols"), Endpoint("stack"));
  ASSERT_TRUE(first.Ok() && second.Ok() && protocols.Ok());
  ASSERT_TRUE(protocols.Register());
  for (std::uint32_t i = 0; i < 10; ++i) ASSERT_TRUE((i % 3 == 1 ? second : first).Send(NumberedFrame(1 + i % 3, i)));
  for (std::uint32_t i = 0; i < 10; ++i) {
    const std::optional<Bytes> frame = protocols.Next(kBoundMs);
    ASSERT_TRUE(frame.has_value()) << "frame " << i << " lost";
    ASSERT_EQ(*frame, NumberedFrame(1 + i % 3, i));
  }
  // The last frame came from `first`: what the protocols send goes out to it.
  ASSERT_TRUE(protocols.Send(NumberedFrame(9, 100)));
  EXPECT_EQ(first.Next(kBoundMs), NumberedFrame(9, 100));
  EXPECT_FALSE(second.Next(0).has_value());

  // A registration between frames is answered and takes what follows.
  ASSERT_TRUE(first.Send(NumberedFrame(1, 101)));
  ASSERT_TRUE(second.Register());
  EXPECT_EQ(protocols.Next(kBoundMs), NumberedFrame(1, 101));
  ASSERT_TRUE(protocols.Send(NumberedFrame(9, 102)));
  EXPECT_EQ(second.Next(kBoundMs), NumberedFrame(9, 102));
  EXPECT_FALSE(first.Next(0).has_value());
}

TEST_F(FrameEndpointsTest, BothSidesCarryAtTheSameTime) {
  Writer wire(Own("wire"), Endpoint("miniport"));
  Writer protocols(Own("protocols"), Endpoint("stack"));
  ASSERT_TRUE(wire.Ok() && protocols.Ok());
  ASSERT_TRUE(wire.Register());
  ASSERT_TRUE(protocols.Register());
  constexpr std::uint32_t kEach = 40;
  for (std::uint32_t i = 0; i < kEach; ++i) {
    ASSERT_TRUE(wire.Send(NumberedFrame(1, i)));
    ASSERT_TRUE(protocols.Send(NumberedFrame(2, i)));
  }
  for (std::uint32_t i = 0; i < kEach; ++i) {
    ASSERT_EQ(protocols.Next(kBoundMs), NumberedFrame(1, i)) << i;
    ASSERT_EQ(wire.Next(kBoundMs), NumberedFrame(2, i)) << i;
  }
}

}  // namespace
}  // namespace zl::ndishost
