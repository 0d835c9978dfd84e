// zltraffic as a process on a machine whose kernel host carries its frames
// (no service: the hosted adapter passes everything): clients are entered in
// the machine while present, their traffic reaches the Internet and is
// answered, and the commands on standard input join, silence and remove them.
#include <gtest/gtest.h>
#include <signal.h>

#include "tests/support/child_process.h"
#include "tests/support/emulated_machine.h"
#include "tests/support/vorlanex_host.h"
#include "zl/platform/machine_state.h"

namespace zl::test {
namespace {

namespace machine = platform::machine;
using std::chrono::milliseconds;

std::optional<machine::ClientRecord> ClientAt(const std::string& address) {
  for (const auto& client : machine::ListClients()) {
    if (client.address == address) return client;
  }
  return std::nullopt;
}

TEST(ZltrafficThroughHostTest, ClientsTalkToTheInternetAndComeAndGo) {
  EmulatedMachine m;
  ASSERT_EQ(machine::SetHostedNetworkMode(true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkSsid("Demo"), machine::HostedResult::Ok);
  ASSERT_EQ(machine::SetHostedNetworkKey("12345678", true), machine::HostedResult::Ok);
  ASSERT_EQ(machine::StartHostedNetwork(), machine::HostedResult::Ok);
  HostProcess host;
  ASSERT_TRUE(host.Ready()) << host.Log();

  ChildProcess traffic({ZL_ZLTRAFFIC, "--clients", "3", "--rate", "20", "--join", "3@1000"});
  ASSERT_TRUE(traffic.WaitForOutput("connected to the hosted network's adapter")) << traffic.Output();
  ASSERT_TRUE(traffic.WaitForOutput("client 2 joined: 02-5A-00-00-00-02 192.168.137.12 ben-phone"));
  EXPECT_EQ(traffic.CountInOutput("joined"), 2u) << "client 3 joins late";
  const auto ben = ClientAt("192.168.137.12");
  ASSERT_TRUE(ben);
  EXPECT_EQ(machine::FormatMac(ben->mac), "02-5A-00-00-00-02");
  EXPECT_EQ(ben->hostName, "ben-phone");
  EXPECT_TRUE(ben->present);

  // Web pages come back through the host: the Internet has counted them.
  ASSERT_TRUE(WaitUntil(
      [&] {
        traffic.WriteLine("counts");
        return traffic.WaitForOutput("tcp/80=", milliseconds(200));
      },
      milliseconds(20000)))
      << traffic.Output();

  ASSERT_TRUE(traffic.WriteLine("quiet 1"));
  ASSERT_TRUE(traffic.WaitForOutput("client 1 went quiet"));
  EXPECT_FALSE(ClientAt("192.168.137.11")->present);
  ASSERT_TRUE(traffic.WriteLine("leave 2"));
  ASSERT_TRUE(traffic.WaitForOutput("client 2 left"));
  EXPECT_FALSE(ClientAt("192.168.137.12"));
  ASSERT_TRUE(traffic.WriteLine("join 3"));
  ASSERT_TRUE(traffic.WaitForOutput("client 3 joined"));
  ASSERT_TRUE(traffic.WriteLine("send 3 dns"));
  ASSERT_TRUE(traffic.WriteLine("frobnicate"));
  ASSERT_TRUE(traffic.WaitForOutput("error: unknown command frobnicate"));

  // Stopping the hosted network takes the adapter away under the traffic.
  ASSERT_EQ(machine::StopHostedNetwork(), machine::HostedResult::Ok);
  ASSERT_TRUE(traffic.WaitForOutput("the hosted network's adapter is gone")) << traffic.Output();

  traffic.Signal(SIGTERM);
  ASSERT_EQ(traffic.WaitForExit(), 0);
  const std::string output = traffic.Output();
  EXPECT_NE(output.find("zltraffic summary after"), std::string::npos) << output;
  EXPECT_NE(output.find("client 2  02-5A-00-00-00-02  192.168.137.12   ben-phone      left"), std::string::npos)
      << output;
  EXPECT_NE(output.find("client 3  02-5A-00-00-00-03  192.168.137.13   carla-tablet   present dns "),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("dropped on the way: "), std::string::npos) << output;
  EXPECT_TRUE(machine::ListClients().empty()) << "the clients left the machine with the program";

  EXPECT_EQ(host.Stop(), 0) << host.Log();
}

}  // namespace
}  // namespace zl::test
