// Read-complete handlers that pump the event loop (as a command wait does)
// while more bytes, or the end of the connection, arrive on the same connection.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "loopback_fixture.h"

namespace zl::testing {
namespace {

using ReentrantReadTest = LoopbackTest;

TEST_F(ReentrantReadTest, ReadArrivingWhileAHandlerPumpsIsProcessedAfterItInOrder) {
  StartServer();
  ConnectClient();
  bool nestedReadNoticed = false;
  server.OnClientReadComplete = [&](EventSender*, TrkConnectionItem& item, TMemoryStream& payload) {
    serverReceived.push_back(BytesOf(payload));
    if (serverReceived.size() != 1) return;
    client.ConnectionItem().Send(StreamOf("second"));
    client.ConnectionItem().Send(StreamOf("third"));
    // Pump until the read notification for the new bytes has come in.
    nestedReadNoticed = loop.RunUntil([&] { return item.ReadPending(); }, std::chrono::seconds(10));
    EXPECT_TRUE(item.Reading());
    EXPECT_EQ(serverReceived.size(), 1u);  // nothing delivered inside the handler
  };
  client.ConnectionItem().Send(StreamOf("first"));
  ASSERT_TRUE(RunUntil([&] { return serverReceived.size() == 3; }));
  EXPECT_TRUE(nestedReadNoticed);
  EXPECT_EQ(serverReceived, (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_FALSE(server.Connections()[0].Reading());
  EXPECT_FALSE(server.Connections()[0].ReadPending());
}

TEST_F(ReentrantReadTest, ClientSeesDataBeforeTheDisconnectEvenWhenTheCloseComesDuringAHandler) {
  StartServer();
  ConnectClient();
  std::vector<std::string> events;
  client.OnReadComplete = [&](EventSender*, TrkConnectionItem& item, TMemoryStream& payload) {
    events.push_back("read " + BytesOf(payload));
    if (events.size() != 1) return;
    TrkConnectionItem& serverSide = server.Connections()[0];
    serverSide.Send(StreamOf("last words"));
    serverSide.CloseSocket();
    loop.RunUntil([&] { return item.ReadPending(); }, std::chrono::seconds(10));
    loop.RunUntilIdle();
    events.push_back("handler done");
  };
  client.OnDisconnect = [&](EventSender*, TrkConnectionItem&) { events.push_back("disconnect"); };
  server.Connections()[0].Send(StreamOf("hello"));
  ASSERT_TRUE(RunUntil([&] { return !client.Active(); }));
  EXPECT_EQ(events, (std::vector<std::string>{"read hello", "handler done", "read last words", "disconnect"}));
  EXPECT_EQ(client.ConnectionItem().Socket(), nullptr);
}

TEST_F(ReentrantReadTest, ServerItemReleasedDuringItsOwnHandlerStaysValidUntilTheReadEnds) {
  StartServer();
  ConnectClient();
  int disconnects = 0;
  std::weak_ptr<TrkConnectionItem> released;
  server.OnClientDisconnect = [&](EventSender*, TrkConnectionItem& item) {
    EXPECT_EQ(server.Connections().Count(), 0u);
    EXPECT_TRUE(item.Reading());  // the handler below is still running on it
    released = item.weak_from_this();
    ++disconnects;
  };
  server.OnClientReadComplete = [&](EventSender*, TrkConnectionItem& item, TMemoryStream& payload) {
    serverReceived.push_back(BytesOf(payload));
    client.SetActive(false);
    loop.RunUntil([&] { return disconnects == 1; }, std::chrono::seconds(10));
    // The item has left Connections; it is still whole while this handler runs.
    EXPECT_FALSE(item.IsConnected());
    EXPECT_FALSE(released.expired());
    item.Send(StreamOf("into the void"));
  };
  client.ConnectionItem().Send(StreamOf("bye"));
  ASSERT_TRUE(RunUntil([&] { return disconnects == 1 && serverReceived.size() == 1; }));
  loop.RunUntilIdle();
  EXPECT_EQ(server.Connections().Count(), 0u);
  EXPECT_TRUE(released.expired());  // released once the read was over
}

}  // namespace
}  // namespace zl::testing
