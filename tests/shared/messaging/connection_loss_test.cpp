// A peer that hangs up hard (closing with our bytes still unread resets the
// connection): the error the socket layer reports ends the connection through
// the components' own disconnect path, and nothing is raised to the program.
#include <gtest/gtest.h>

#include "loopback_fixture.h"
#include "shared/messaging/connecting_socket.h"

namespace zl::testing {
namespace {

using ConnectionLossTest = LoopbackTest;

TEST_F(ConnectionLossTest, ResetByTheClientEndsTheServersConnectionWithOneDisconnectEvent) {
  StartServer();
  RawPeer peer;
  peer.Connect(server.BoundPort());
  ASSERT_TRUE(RunUntil([&] { return server.Connections().Count() == 1; }));
  int disconnects = 0;
  server.OnClientDisconnect = [&](EventSender*, TrkConnectionItem& item) {
    EXPECT_EQ(server.Connections().Count(), 0u);
    EXPECT_FALSE(item.IsConnected());
    ++disconnects;
  };
  server.Connections()[0].Send(StreamOf("never read"));
  // Half a frame waits in the server's buffer when the reset comes.
  peer.SendAll(FrameOf("partial").substr(0, 30));
  ASSERT_TRUE(RunUntil([&] { return server.Connections()[0].BufferedByteCount() == 30; }));
  peer.Close();
  ASSERT_TRUE(RunUntil([&] { return disconnects == 1; }));
  loop.RunUntilIdle();
  EXPECT_EQ(disconnects, 1);
}

TEST_F(ConnectionLossTest, ResetByTheServerEndsTheClientsConnectionWithOneDisconnectEvent) {
  const platform::SocketHandle accepted = ConnectClientToRawPeer();
  ASSERT_NE(accepted, platform::kInvalidSocket);
  RawPeer peer(accepted);

  int disconnects = 0;
  client.OnDisconnect = [&](EventSender*, TrkConnectionItem&) { ++disconnects; };
  client.ConnectionItem().Send(StreamOf("never read"));
  peer.Close();
  ASSERT_TRUE(RunUntil([&] { return disconnects == 1; }));
  loop.RunUntilIdle();
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(client.ConnectionItem().Socket(), nullptr);
}

// The layer itself raises an error whose code the handler leaves set; the
// components always clear it, a bare inner socket shows the difference.
TEST_F(ConnectionLossTest, ErrorCodeLeftSetByTheHandlerIsRaisedBySocketLayer) {
  StartServer();
  const int freePort = server.BoundPort();
  server.SetActive(false);

  for (const bool clearCode : {true, false}) {
    ConnectingSocket connector(loop);
    connector.Host = "127.0.0.1";
    connector.Port = freePort;
    TErrorEvent seenKind = eeGeneral;
    int seenCode = 0;
    connector.OnError = [&](SocketConnection* connection, TErrorEvent kind, int& errorCode) {
      EXPECT_EQ(connection, nullptr);
      seenKind = kind;
      seenCode = errorCode;
      if (clearCode) errorCode = 0;
    };
    connector.Open();
    if (clearCode) {
      EXPECT_NO_THROW(RunUntil([&] { return !connector.Connecting(); }));
    } else {
      try {
        RunUntil([&] { return !connector.Connecting(); });
        ADD_FAILURE() << "no error raised";
      } catch (const SocketError& error) {
        EXPECT_EQ(error.Kind(), eeConnect);
        EXPECT_EQ(error.ErrorCode(), seenCode);
      }
    }
    EXPECT_EQ(seenKind, eeConnect);
    EXPECT_NE(seenCode, 0);
    EXPECT_FALSE(connector.Active());
    EXPECT_FALSE(connector.Connecting());
  }

  // A lookup fails inside Open, so that is where the error surfaces.
  ConnectingSocket unresolvable(loop);
  unresolvable.Host = "127.0.0.1";
  unresolvable.Service = "zephlink-no-such-service";
  TErrorEvent seenKind = eeGeneral;
  unresolvable.OnError = [&](SocketConnection*, TErrorEvent kind, int&) { seenKind = kind; };
  EXPECT_THROW(unresolvable.Open(), SocketError);
  EXPECT_EQ(seenKind, eeLookup);
  EXPECT_FALSE(unresolvable.Connecting());
}

}  // namespace
}  // namespace zl::testing
