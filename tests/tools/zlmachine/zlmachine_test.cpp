// zlmachine as a user runs it from a Linux shell.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/emulated_machine.h"

namespace zl::test {
namespace {

struct Result {
  int exitCode = -1;
  std::string output;
};

// Runs a shell command line with the machine's programs on the path.
Result Shell(const std::string& machineDir, const std::string& command) {
  const std::string line = "cd '" + EmulatedMachine::ProgramsFolder() + "' && ZEPHLINK_MACHINE='" + machineDir + "' " +
                           command + " 2>&1";
  Result result;
  FILE* pipe = popen(line.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ZlmachineTest, CreatesAMachineAndShowsTheHostedAdapterOnlyWhileItRuns) {
  EmulatedMachine scratch;  // for its temporary directory's lifetime
  const std::string dir = scratch.Directory() + "/fresh";
  ASSERT_EQ(Shell(dir, "./zlmachine create").exitCode, 0);
  Result adapters = Shell(dir, "./zlmachine adapters");
  EXPECT_TRUE(Contains(adapters.output, "LAN-Verbindung"));
  EXPECT_TRUE(Contains(adapters.output, "Drahtlosnetzwerkverbindung"));
  EXPECT_FALSE(Contains(adapters.output, "192.168.137.1"));

  // Typed in a Linux shell as it would be typed on Windows.
  const Result set = Shell(dir, "./cmd.exe /c \"netsh wlan set hostednetwork mode=allow ssid=\"My Net\" "
                                "key=\"12345678\" keyUsage=persistent\"");
  EXPECT_EQ(set.exitCode, 0) << set.output;
  EXPECT_TRUE(Contains(Shell(dir, "./zlmachine hostednetwork").output, "SSID           : \"My Net\""));
  // The whole Windows line in single quotes works too.
  const Result again = Shell(dir, "./cmd.exe '/c \"netsh wlan set hostednetwork ssid=\"My Net\"\"'");
  EXPECT_EQ(again.exitCode, 0) << again.output;
  const Result start = Shell(dir, "./zlmachine exec 'cmd.exe /c \"netsh wlan start hostednetwork\"'");
  EXPECT_EQ(start.exitCode, 0) << start.output;
  EXPECT_TRUE(Contains(start.output, "The hosted network started."));
  adapters = Shell(dir, "./zlmachine adapters");
  EXPECT_TRUE(Contains(adapters.output, "IPv4 addresses: 192.168.137.1"));
  EXPECT_TRUE(Contains(adapters.output, "Type          : 71 (IEEE 802.11), hosted network"));
  EXPECT_TRUE(Contains(Shell(dir, "./zlmachine hostednetwork").output, "SSID           : \"My Net\""));

  ASSERT_EQ(Shell(dir, "./zlmachine exec 'cmd.exe /c \"netsh wlan stop hostednetwork\"'").exitCode, 0);
  EXPECT_FALSE(Contains(Shell(dir, "./zlmachine adapters").output, "192.168.137.1"));
}

TEST(ZlmachineTest, ClientsRegistryFaultsAndServices) {
  EmulatedMachine machine;
  const std::string dir = machine.Directory();
  ASSERT_EQ(Shell(dir, "./zlmachine client add 0a:1b:2c:3d:4e:5f 192.168.137.23 phone").exitCode, 0);
  EXPECT_TRUE(Contains(Shell(dir, "./zlmachine clients").output, "0A-1B-2C-3D-4E-5F  192.168.137.23   present   phone"));
  ASSERT_EQ(Shell(dir, "./zlmachine client absent 0A-1B-2C-3D-4E-5F").exitCode, 0);
  EXPECT_TRUE(Contains(Shell(dir, "./zlmachine clients").output, "absent"));
  EXPECT_EQ(Shell(dir, "./zlmachine client remove 0A-1B-2C-3D-4E-5F").exitCode, 0);
  EXPECT_NE(Shell(dir, "./zlmachine client remove 0A-1B-2C-3D-4E-5F").exitCode, 0);

  ASSERT_EQ(Shell(dir, "./zlmachine reg set 'HKLM\\SOFTWARE\\Quendral\\Zephlink' EnableICS REG_DWORD 1").exitCode, 0);
  ASSERT_EQ(Shell(dir, "./zlmachine reg set 'SOFTWARE\\Quendral\\Zephlink' HotspotName REG_SZ 'Café'").exitCode, 0);
  const Result query = Shell(dir, "./zlmachine reg query 'SOFTWARE\\Quendral\\Zephlink'");
  EXPECT_TRUE(Contains(query.output, "    EnableICS    REG_DWORD    0x1\n"));
  EXPECT_TRUE(Contains(query.output, "    HotspotName    REG_SZ    Café\n"));

  ASSERT_EQ(Shell(dir, "./zlmachine fault RegistryReadOnly 1").exitCode, 0);
  EXPECT_EQ(Shell(dir, "./zlmachine reg set 'SOFTWARE\\Quendral\\Zephlink' EnableICS REG_DWORD 0").exitCode, 1);
  ASSERT_EQ(Shell(dir, "./zlmachine fault RegistryReadOnly 0").exitCode, 0);

  ASSERT_EQ(Shell(dir, "./zlsvcdemo --name=Demo /install /silent").exitCode, 0);
  ASSERT_EQ(Shell(dir, "./zlmachine reg set 'SYSTEM\\CurrentControlSet\\Services\\Demo' Start REG_DWORD 2").exitCode, 0);
  EXPECT_TRUE(Contains(Shell(dir, "./zlmachine services").output, "STOPPED"));
  const Result boot = Shell(dir, "./zlmachine boot");
  EXPECT_EQ(boot.exitCode, 0);
  EXPECT_TRUE(Contains(boot.output, "Demo: started"));
  EXPECT_TRUE(Contains(Shell(dir, "./zlmachine services").output, "RUNNING"));
  EXPECT_EQ(Shell(dir, "./zlmachine service stop Demo").exitCode, 0);
}

TEST(ZlmachineTest, SharesOneConnectionWithAnotherAndSetsTheClockRate) {
  EmulatedMachine machine;
  const std::string dir = machine.Directory();
  ASSERT_EQ(Shell(dir, "./zlmachine exec 'cmd.exe /c \"netsh wlan set hostednetwork mode=allow ssid=Demo key=12345678\"'").exitCode, 0);
  ASSERT_EQ(Shell(dir, "./zlmachine exec 'cmd.exe /c \"netsh wlan start hostednetwork\"'").exitCode, 0);
  // The hosted network's connection, as the machine names it.
  const std::string hosted = "Drahtlosnetzwerkverbindung 2";
  ASSERT_TRUE(Contains(Shell(dir, "./zlmachine sharing").output, hosted));

  const Result enable = Shell(dir, "./zlmachine sharing enable LAN-Verbindung '" + hosted + "'");
  ASSERT_EQ(enable.exitCode, 0) << enable.output;
  Result sharing = Shell(dir, "./zlmachine sharing");
  EXPECT_TRUE(Contains(sharing.output, "shared: public")) << sharing.output;
  EXPECT_TRUE(Contains(sharing.output, "shared: private")) << sharing.output;
  EXPECT_EQ(Shell(dir, "./zlmachine sharing enable Nirgendwo '" + hosted + "'").exitCode, 1);
  ASSERT_EQ(Shell(dir, "./zlmachine sharing disable").exitCode, 0);
  sharing = Shell(dir, "./zlmachine sharing");
  EXPECT_FALSE(Contains(sharing.output, "shared:")) << sharing.output;

  EXPECT_TRUE(Contains(Shell(dir, "./zlmachine clockrate").output, "Clock rate     : 1 (real time)"));
  ASSERT_EQ(Shell(dir, "./zlmachine clockrate 10").exitCode, 0);
  EXPECT_TRUE(Contains(Shell(dir, "./zlmachine show").output, "Clock rate     : 10 times real time"));
  for (const char* wrong : {"0", "1001", "fast", "10x"}) {
    EXPECT_EQ(Shell(dir, std::string("./zlmachine clockrate ") + wrong).exitCode, 2) << wrong;
  }
  EXPECT_TRUE(Contains(Shell(dir, "./zlmachine clockrate").output, "Clock rate     : 10 times"));
}

TEST(ZlmachineTest, RefusesUnknownCommandsAndMissingMachines) {
  EXPECT_EQ(Shell("", "./zlmachine frobnicate").exitCode, 2);
  EXPECT_EQ(Shell("", "./zlmachine").exitCode, 2);
  const Result noMachine = Shell("", "env -u ZEPHLINK_MACHINE ./zlmachine adapters");
  EXPECT_EQ(noMachine.exitCode, 2);
  EXPECT_TRUE(Contains(noMachine.output, "no machine"));
}

}  // namespace
}  // namespace zl::test
