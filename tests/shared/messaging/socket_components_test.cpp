// The server and client components against each other on loopback.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "loopback_fixture.h"
#include "shared/messaging/message_codec.h"

namespace zl::testing {
namespace {

using SocketComponentsTest = LoopbackTest;

TEST_F(SocketComponentsTest, ConnectRaisesBothConnectEventsAndMessagesTravelBothWays) {
  std::vector<std::string> events;
  server.OnClientConnect = [&](EventSender* sender, TrkConnectionItem& item) {
    EXPECT_EQ(sender, &server);
    EXPECT_TRUE(item.IsConnected());
    EXPECT_EQ(server.Connections().IndexOf(&item), 0);
    events.push_back("server connect");
  };
  client.OnConnect = [&](EventSender* sender, TrkConnectionItem& item) {
    EXPECT_EQ(sender, &client);
    EXPECT_EQ(&item, &client.ConnectionItem());
    EXPECT_TRUE(client.Active());
    // As the service greets: a message sent from inside the connect event.
    item.Send(NewMessage(29));
    events.push_back("client connect");
  };
  StartServer();
  client.SetActive(true);
  EXPECT_FALSE(client.Active());  // only from the connected notification on
  EXPECT_TRUE(client.Connecting());
  ASSERT_TRUE(RunUntil([&] { return serverReceived.size() == 1; }));
  EXPECT_EQ(serverReceived[0], std::string(1, '\x1D'));
  EXPECT_EQ(events.size(), 2u);
  EXPECT_TRUE(client.Active());
  EXPECT_FALSE(client.Connecting());

  const std::string settings = "DisableP2P=-1\r\nEnableUrlLog=0\r\n";
  server.Connections()[0].Send(NewTextMessage(settings, 30));
  ASSERT_TRUE(RunUntil([&] { return clientReceived.size() == 1; }));
  TMemoryStream received = StreamOf(clientReceived[0]);
  received.SetPosition(0);
  EXPECT_EQ(ReadMessageCode(received), 30);
  EXPECT_EQ(ReadMessageText(received), settings);
}

TEST_F(SocketComponentsTest, ManyFramesSentAtOnceArriveWholeAndInOrder) {
  StartServer();
  ConnectClient();
  std::vector<std::string> sent;
  for (int i = 0; i < 200; ++i) {
    sent.push_back(std::to_string(i) + std::string(static_cast<std::size_t>(i * 37 % 5000), 'x'));
    client.ConnectionItem().Send(StreamOf(sent.back()));
  }
  ASSERT_TRUE(RunUntil([&] { return serverReceived.size() == sent.size(); }));
  EXPECT_EQ(serverReceived, sent);
}

TEST_F(SocketComponentsTest, ServerKeepsConnectionsInOrderAndRemovesOneBeforeItsDisconnectEvent) {
  StartServer();
  std::vector<TrkConnectionItem*> accepted;
  server.OnClientConnect = [&](EventSender*, TrkConnectionItem& item) { accepted.push_back(&item); };
  TrkClientSocket second(loop);
  TrkClientSocket third(loop);
  for (TrkClientSocket* other : {&second, &third}) {
    other->SetHost("127.0.0.1");
    other->SetPort(server.BoundPort());
  }
  ConnectClient();
  second.SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return second.Active() && server.Connections().Count() == 2; }));
  third.SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return third.Active() && server.Connections().Count() == 3; }));
  ASSERT_EQ(accepted.size(), 3u);

  int disconnects = 0;
  std::weak_ptr<TrkConnectionItem> released;
  server.OnClientDisconnect = [&](EventSender* sender, TrkConnectionItem& item) {
    EXPECT_EQ(sender, &server);
    EXPECT_EQ(&item, accepted[1]);
    EXPECT_EQ(server.Connections().Count(), 2u);  // already gone from the list
    EXPECT_EQ(server.Connections().IndexOf(&item), -1);
    released = item.weak_from_this();
    EXPECT_FALSE(released.expired());  // whole while the handler runs
    ++disconnects;
  };
  second.SetActive(false);
  ASSERT_TRUE(RunUntil([&] { return disconnects == 1; }));
  EXPECT_TRUE(released.expired());  // and released once it has returned
  ASSERT_EQ(server.Connections().Count(), 2u);
  EXPECT_EQ(&server.Connections()[0], accepted[0]);
  EXPECT_EQ(&server.Connections()[1], accepted[2]);

  // A reply to every remaining connection reaches exactly the two live clients.
  std::vector<std::string> thirdReceived;
  third.OnReadComplete = [&](EventSender*, TrkConnectionItem&, TMemoryStream& payload) {
    thirdReceived.push_back(BytesOf(payload));
  };
  for (std::size_t i = 0; i < server.Connections().Count(); ++i) server.Connections()[i].Send(NewMessage(28));
  ASSERT_TRUE(RunUntil([&] { return clientReceived.size() == 1 && thirdReceived.size() == 1; }));
}

TEST_F(SocketComponentsTest, ClientDisconnectEventSeesTheClosedConnectionThenTheItemIsCleared) {
  const platform::SocketHandle accepted = ConnectClientToRawPeer();
  ASSERT_NE(accepted, platform::kInvalidSocket);
  RawPeer peer(accepted);
  ASSERT_TRUE(client.Active());

  const std::string second = FrameOf("second");
  peer.SendAll(FrameOf("first") + second.substr(0, 20));
  ASSERT_TRUE(RunUntil([&] { return clientReceived.size() == 1 && client.ConnectionItem().BufferedByteCount() == 20; }));

  int disconnects = 0;
  client.OnDisconnect = [&](EventSender* sender, TrkConnectionItem& item) {
    EXPECT_EQ(sender, &client);
    EXPECT_EQ(&item, &client.ConnectionItem());
    EXPECT_NE(item.Socket(), nullptr);  // still the closed connection
    EXPECT_FALSE(item.IsConnected());
    EXPECT_EQ(item.BufferedByteCount(), 20u);
    ++disconnects;
  };
  peer.Close();
  ASSERT_TRUE(RunUntil([&] { return disconnects == 1; }));
  EXPECT_EQ(client.ConnectionItem().Socket(), nullptr);
  EXPECT_EQ(client.ConnectionItem().BufferedByteCount(), 0u);
  EXPECT_FALSE(client.Active());
  EXPECT_EQ(clientReceived, std::vector<std::string>{"first"});
}

TEST_F(SocketComponentsTest, DeactivatingTheClientRaisesItsDisconnectAndTheServersAtOnce) {
  StartServer();
  ConnectClient();
  int clientDisconnects = 0;
  int serverDisconnects = 0;
  client.OnDisconnect = [&](EventSender*, TrkConnectionItem&) { ++clientDisconnects; };
  server.OnClientDisconnect = [&](EventSender*, TrkConnectionItem&) { ++serverDisconnects; };
  client.SetActive(false);
  EXPECT_EQ(clientDisconnects, 1);  // raised inside the setter
  EXPECT_FALSE(client.Active());
  ASSERT_TRUE(RunUntil([&] { return serverDisconnects == 1; }));
  EXPECT_EQ(server.Connections().Count(), 0u);
  EXPECT_EQ(clientDisconnects, 1);
}

TEST_F(SocketComponentsTest, ReconnectReusesTheClientsItemWithAFreshReceiveState) {
  StartServer();
  TrkConnectionItem* item = &client.ConnectionItem();
  ConnectClient();
  client.SetActive(false);
  ASSERT_TRUE(RunUntil([&] { return server.Connections().Count() == 0; }));
  ConnectClient();
  EXPECT_EQ(&client.ConnectionItem(), item);
  server.Connections()[0].Send(StreamOf("again"));
  ASSERT_TRUE(RunUntil([&] { return clientReceived.size() == 1; }));
  EXPECT_EQ(clientReceived[0], "again");
}

TEST_F(SocketComponentsTest, DeactivatingTheServerClosesEverythingWithoutDisconnectEventsAndReleasesTheItems) {
  StartServer();
  ConnectClient();
  TrkClientSocket second(loop);
  second.SetHost("127.0.0.1");
  second.SetPort(server.BoundPort());
  second.SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return second.Active() && server.Connections().Count() == 2; }));

  int serverDisconnects = 0;
  server.OnClientDisconnect = [&](EventSender*, TrkConnectionItem&) { ++serverDisconnects; };
  const std::weak_ptr<TrkConnectionItem> items[] = {server.Connections()[0].weak_from_this(),
                                                    server.Connections()[1].weak_from_this()};
  server.SetActive(false);
  EXPECT_FALSE(server.Active());
  EXPECT_EQ(server.Connections().Count(), 0u);
  EXPECT_TRUE(items[0].expired());
  EXPECT_TRUE(items[1].expired());
  ASSERT_TRUE(RunUntil([&] { return !client.Active() && !second.Active(); }));
  EXPECT_EQ(serverDisconnects, 0);
}

TEST_F(SocketComponentsTest, DestroyingTheServerClosesItsConnections) {
  auto owned = std::make_unique<TrkServerSocket>(loop);
  owned->SetBindAddress("127.0.0.1");
  owned->SetActive(true);
  client.SetHost("127.0.0.1");
  client.SetPort(owned->BoundPort());
  client.SetActive(true);
  ASSERT_TRUE(RunUntil([&] { return client.Active() && owned->Connections().Count() == 1; }));
  const std::weak_ptr<TrkConnectionItem> item = owned->Connections()[0].weak_from_this();
  owned.reset();
  EXPECT_TRUE(item.expired());
  ASSERT_TRUE(RunUntil([&] { return !client.Active(); }));
}

TEST_F(SocketComponentsTest, ServerWithoutBindAddressListensOnEveryLocalAddress) {
  server.SetBindAddress("");
  StartServer();
  ConnectClient();  // through 127.0.0.1
  client.SetHost("");
  client.SetAddress("127.0.0.1");  // Address serves when Host is empty
  client.SetActive(false);
  ASSERT_TRUE(RunUntil([&] { return server.Connections().Count() == 0; }));
  ConnectClient();
}

TEST_F(SocketComponentsTest, HandlerThatThrowsLeavesTheConnectionOpen) {
  StartServer();
  ConnectClient();
  server.OnClientReadComplete = [&](EventSender*, TrkConnectionItem&, TMemoryStream& payload) {
    serverReceived.push_back(BytesOf(payload));
    if (serverReceived.size() == 1) throw std::runtime_error("handler failed");
  };
  client.ConnectionItem().Send(StreamOf("boom"));
  ASSERT_TRUE(RunUntil([&] { return serverReceived.size() == 1; }));
  client.ConnectionItem().Send(StreamOf("fine"));
  ASSERT_TRUE(RunUntil([&] { return serverReceived.size() == 2; }));
  EXPECT_EQ(serverReceived[1], "fine");
  EXPECT_TRUE(client.Active());
  EXPECT_EQ(server.Connections().Count(), 1u);
}

TEST_F(SocketComponentsTest, ServerActivationFailuresAreRaisedToTheCaller) {
  StartServer();
  TrkServerSocket clash(loop);
  clash.SetBindAddress("127.0.0.1");
  clash.SetPort(server.BoundPort());
  EXPECT_THROW(clash.SetActive(true), SocketError);
  EXPECT_FALSE(clash.Active());

  TrkServerSocket blocking(loop);
  blocking.SetBindAddress("127.0.0.1");
  blocking.SetServerType(stThreadBlocking);
  EXPECT_THROW(blocking.SetActive(true), SocketError);
  EXPECT_FALSE(blocking.Active());

  TrkServerSocket unknownService(loop);
  unknownService.SetService("zephlink-no-such-service");
  EXPECT_THROW(unknownService.SetActive(true), SocketError);
}

TEST_F(SocketComponentsTest, FailedConnectAttemptsLeaveTheClientInactiveAndRaiseNothing) {
  // A port nobody listens on: take a free one and give it back.
  StartServer();
  const int freePort = server.BoundPort();
  server.SetActive(false);

  struct Case {
    const char* name;
    std::string host;
    std::string address;
    int port;
    std::string service;
  };
  const Case cases[] = {
      {"refused", "127.0.0.1", "", freePort, ""},
      {"unknown service", "127.0.0.1", "", 0, "zephlink-no-such-service"},
      {"no host and no dotted address", "", "not-an-address", freePort, ""},
      {"port out of range", "127.0.0.1", "", 70000, ""},
  };
  for (const Case& c : cases) {
    int connects = 0;
    client.OnConnect = [&](EventSender*, TrkConnectionItem&) { ++connects; };
    client.SetHost(c.host);
    client.SetAddress(c.address);
    client.SetPort(c.port);
    client.SetService(c.service);
    EXPECT_NO_THROW(client.SetActive(true)) << c.name;
    EXPECT_TRUE(RunUntil([&] { return !client.Connecting(); })) << c.name;
    EXPECT_FALSE(client.Active()) << c.name;
    EXPECT_EQ(connects, 0) << c.name;
  }

  TrkClientSocket blocking(loop);
  blocking.SetClientType(ctBlocking);
  blocking.SetHost("127.0.0.1");
  blocking.SetPort(freePort);
  EXPECT_THROW(blocking.SetActive(true), SocketError);
}

TEST_F(SocketComponentsTest, ActiveSetWhileLoadingWaitsForTheEndOfLoading) {
  server.BeginLoading();
  server.SetActive(true);
  EXPECT_FALSE(server.Active());
  server.EndLoading();
  EXPECT_TRUE(server.Active());
  EXPECT_FALSE(server.Loading());

  // False while loading takes effect at once, and loading then ends inactive.
  server.BeginLoading();
  server.SetActive(false);
  EXPECT_FALSE(server.Active());
  server.EndLoading();
  EXPECT_FALSE(server.Active());

  server.SetActive(true);
  client.SetHost("127.0.0.1");
  client.SetPort(server.BoundPort());
  client.BeginLoading();
  client.SetActive(true);
  EXPECT_FALSE(client.Connecting());
  client.EndLoading();
  EXPECT_TRUE(client.Connecting());
  ASSERT_TRUE(RunUntil([&] { return client.Active(); }));

  client.BeginLoading();
  client.SetActive(false);
  EXPECT_FALSE(client.Active());
  client.EndLoading();
  EXPECT_FALSE(client.Active());
  EXPECT_FALSE(client.Connecting());
}

}  // namespace
}  // namespace zl::testing
