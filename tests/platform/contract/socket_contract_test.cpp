// Loopback TCP through the boundary's sockets, with readiness delivered by
// each event loop of the platform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/contract/contract_environment.h"
#include "zl/platform/errors.h"
#include "zl/platform/ip_helper.h"
#include "zl/platform/tcp_socket.h"

namespace zl::platform {
namespace {

constexpr IPv4Address kLoopback = 0x7F000001;

class SocketContract : public ::testing::TestWithParam<contract::LoopKind> {
 protected:
  void TearDown() override {
    for (SocketHandle s : sockets) CloseSocket(s);
  }
  SocketHandle Keep(SocketHandle s) {
    sockets.push_back(s);
    return s;
  }
  SystemClock clock;
  std::vector<SocketHandle> sockets;
};

TEST_P(SocketContract, AConnectionCarriesBytesBothWaysAndTheCloseIsSeen) {
  const contract::LoopKind& kind = GetParam();
  std::unique_ptr<EventLoop> loop = kind.make(clock);
  int error = 0;
  const SocketHandle listener = Keep(ListenTcp("127.0.0.1", 0, error));
  ASSERT_NE(listener, kInvalidSocket) << SocketErrorText(error);
  const std::uint16_t port = LocalPort(listener);
  ASSERT_NE(port, 0);

  SocketHandle accepted = kInvalidSocket;
  const auto acceptWatch = loop->WatchSocket(listener, true, false, [&](unsigned readiness) {
    if (readiness & kReadable) {
      if (AcceptTcp(listener, accepted).status == IoStatus::kDone) Keep(accepted);
    }
  });
  SocketHandle client = kInvalidSocket;
  const IoResult connect = ConnectTcp(kLoopback, port, client);
  ASSERT_NE(connect.status, IoStatus::kFailed) << SocketErrorText(connect.error);
  Keep(client);
  bool connected = connect.status == IoStatus::kDone;
  const auto clientWatch = loop->WatchSocket(client, false, !connected, [&](unsigned readiness) {
    if (readiness & (kWritable | kHangUp)) connected = TakeSocketError(client) == 0;
  });
  ASSERT_TRUE(kind.runUntil(*loop, [&] { return connected && accepted != kInvalidSocket; }));
  loop->RemoveWatch(acceptWatch);

  // Client to server, read through the loop's readiness.
  const std::string message = "MSG_SERVICE_HELLO";
  IoResult sent = Send(client, {reinterpret_cast<const std::uint8_t*>(message.data()), message.size()});
  ASSERT_EQ(sent.status, IoStatus::kDone);
  ASSERT_EQ(sent.count, message.size());
  std::string received;
  bool serverSawClose = false;
  loop->WatchSocket(accepted, true, false, [&](unsigned) {
    std::uint8_t buffer[64];
    for (;;) {
      const IoResult r = Receive(accepted, buffer);
      if (r.status == IoStatus::kDone) {
        received.append(reinterpret_cast<char*>(buffer), r.count);
        continue;
      }
      if (r.status == IoStatus::kClosed) serverSawClose = true;
      break;
    }
  });
  ASSERT_TRUE(kind.runUntil(*loop, [&] { return received == message; }));

  // Server to client: the bytes wait for the client, which may look first.
  sent = Send(accepted, {reinterpret_cast<const std::uint8_t*>("abc"), 3});
  ASSERT_EQ(sent.count, 3u);
  loop->ChangeWatch(clientWatch, true, false);
  std::string reply;
  loop->RemoveWatch(clientWatch);
  loop->WatchSocket(client, true, false, [&](unsigned) {
    std::uint8_t peek[8];
    const IoResult looked = Peek(client, peek);
    if (looked.status != IoStatus::kDone) return;
    const IoResult available = BytesAvailable(client);
    EXPECT_EQ(available.status, IoStatus::kDone);
    EXPECT_GE(available.count, looked.count);
    std::uint8_t buffer[8];
    const IoResult r = Receive(client, buffer);
    if (r.status == IoStatus::kDone) reply.append(reinterpret_cast<char*>(buffer), r.count);
  });
  ASSERT_TRUE(kind.runUntil(*loop, [&] { return reply == "abc"; }));

  // An orderly close reaches the server as kClosed.
  CloseSocket(client);
  std::erase(sockets, client);
  ASSERT_TRUE(kind.runUntil(*loop, [&] { return serverSawClose; }));
}

TEST_P(SocketContract, ANothingWaitingAcceptAndAnEmptyReceiveWouldBlock) {
  int error = 0;
  const SocketHandle listener = Keep(ListenTcp("127.0.0.1", 0, error));
  ASSERT_NE(listener, kInvalidSocket);
  SocketHandle accepted = kInvalidSocket;
  EXPECT_EQ(AcceptTcp(listener, accepted).status, IoStatus::kWouldBlock);

  std::unique_ptr<EventLoop> loop = GetParam().make(clock);
  SocketHandle client = kInvalidSocket;
  const IoResult connect = ConnectTcp(kLoopback, LocalPort(listener), client);
  ASSERT_NE(connect.status, IoStatus::kFailed);
  Keep(client);
  ASSERT_TRUE(GetParam().runUntil(*loop, [&] {
    if (AcceptTcp(listener, accepted).status == IoStatus::kDone) Keep(accepted);
    return accepted != kInvalidSocket;
  }));
  std::uint8_t buffer[4];
  EXPECT_EQ(Receive(accepted, buffer).status, IoStatus::kWouldBlock);
}

TEST_P(SocketContract, AConnectionToAClosedPortFails) {
  // A port that was free a moment ago: listen, learn it, close.
  int error = 0;
  const SocketHandle probe = ListenTcp("127.0.0.1", 0, error);
  ASSERT_NE(probe, kInvalidSocket);
  const std::uint16_t port = LocalPort(probe);
  CloseSocket(probe);

  std::unique_ptr<EventLoop> loop = GetParam().make(clock);
  SocketHandle client = kInvalidSocket;
  const IoResult connect = ConnectTcp(kLoopback, port, client);
  if (connect.status == IoStatus::kFailed) {
    EXPECT_NE(connect.error, 0);
    return;
  }
  Keep(client);
  int failure = 0;
  bool ended = false;
  loop->WatchSocket(client, false, true, [&](unsigned) {
    failure = TakeSocketError(client);
    ended = true;
  });
  ASSERT_TRUE(GetParam().runUntil(*loop, [&] { return ended; }));
  EXPECT_NE(failure, 0);
}

TEST(SocketNamesContract, DottedAddressesAndNames) {
  IPv4Address address = 0;
  EXPECT_TRUE(ParseDottedIPv4("192.168.137.1", address));
  EXPECT_EQ(address, 0xC0A88901u);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "a.b.c.d", "1.2.3.4 "}) {
    EXPECT_FALSE(ParseDottedIPv4(bad, address)) << bad;
  }
  int error = 0;
  EXPECT_TRUE(LookupHostIPv4("127.0.0.1", address, error));
  EXPECT_EQ(address, kLoopback);
  EXPECT_FALSE(LookupHostIPv4("", address, error));
  EXPECT_EQ(error, NameNotFoundError());
  std::uint16_t port = 0;
  EXPECT_TRUE(LookupServicePort("http", port));
  EXPECT_EQ(port, 80);
  EXPECT_FALSE(LookupServicePort("zl-no-such-service", port));
}

TEST(AdapterContract, TheAdapterListNamesEachAdapterByItsGuid) {
  contract::MachineScope machine;
  std::vector<AdapterInfo> adapters;
  const std::uint32_t result = GetAdaptersInfo(adapters);
  if (result == kErrorNoData) GTEST_SKIP() << "this machine has no network adapter";
  ASSERT_EQ(result, kErrorSuccess);
  for (const AdapterInfo& adapter : adapters) {
    EXPECT_EQ(adapter.adapterName.size(), 38u) << adapter.adapterName;
    EXPECT_EQ(adapter.adapterName.front(), '{') << adapter.adapterName;
    EXPECT_EQ(adapter.adapterName.back(), '}') << adapter.adapterName;
    ASSERT_FALSE(adapter.ipAddresses.empty()) << adapter.description;  // "0.0.0.0" without one
    for (const std::string& address : adapter.ipAddresses) EXPECT_NE(InetAddr(address), kInAddrNone) << address;
  }
}

TEST(AdapterContract, AddressTextsConvertBothWays) {
  EXPECT_EQ(InetAddr("192.168.137.1"), 0x0189A8C0u);  // network byte order
  EXPECT_EQ(InetNtoa(0x0189A8C0u), "192.168.137.1");
  EXPECT_EQ(InetAddr("not an address"), kInAddrNone);
  EXPECT_EQ(StartSocketLibrary(0x0101), 0);
}

INSTANTIATE_TEST_SUITE_P(Loops, SocketContract, ::testing::ValuesIn(contract::EventLoopKinds()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zl::platform
