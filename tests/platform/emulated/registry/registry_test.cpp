#include "zl/platform/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "tests/support/emulated_machine.h"
#include "zl/platform/errors.h"
#include "zl/platform/machine_state.h"

namespace zl::platform {
namespace {

constexpr const char* kKey = "SOFTWARE\\Quendral\\Zephlink";

TEST(RegistryTest, CreatesOnWriteAndReadsBackTypedValues) {
  test::EmulatedMachine machine;
  RegistryKey key;
  ASSERT_EQ(key.Create(kKey, kKeyWrite), kErrorSuccess);
  ASSERT_EQ(key.SetValue("HotspotName", MakeStringValue("My Net")), kErrorSuccess);
  ASSERT_EQ(key.SetValue("EnableICS", MakeDwordValue(1)), kErrorSuccess);

  RegistryKey reader;
  ASSERT_EQ(reader.Open("software\\quendral\\ZEPHLINK", kKeyRead), kErrorSuccess);
  RegistryValue value;
  ASSERT_EQ(reader.QueryValue("hotspotname", value), kErrorSuccess);
  EXPECT_EQ(value.type, kRegSz);
  EXPECT_EQ(value.data, std::string("My Net\0", 7));
  EXPECT_EQ(StringFromValue(value), "My Net");
  ASSERT_EQ(reader.QueryValue("EnableICS", value), kErrorSuccess);
  EXPECT_EQ(value.type, kRegDword);
  EXPECT_EQ(value.data, std::string("\x01\0\0\0", 4));
}

TEST(RegistryTest, MissingKeysAndValuesAreNotFound) {
  test::EmulatedMachine machine;
  RegistryKey key;
  EXPECT_EQ(key.Open("SOFTWARE\\Nobody", kKeyRead), kErrorFileNotFound);
  EXPECT_FALSE(key.IsOpen());
  ASSERT_EQ(key.Open("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", kKeyRead), kErrorSuccess);
  RegistryValue value;
  EXPECT_EQ(key.QueryValue("Nothing", value), kErrorFileNotFound);
}

TEST(RegistryTest, HandlesAllowOnlyWhatTheyWereOpenedFor) {
  test::EmulatedMachine machine;
  RegistryKey reader;
  ASSERT_EQ(reader.Open("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", kKeyRead), kErrorSuccess);
  EXPECT_EQ(reader.SetValue("x", MakeStringValue("y")), kErrorAccessDenied);
  EXPECT_EQ(reader.DeleteValue("x"), kErrorAccessDenied);

  RegistryKey writer;
  ASSERT_EQ(writer.Open("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", kKeyWrite), kErrorSuccess);
  ASSERT_EQ(writer.SetValue("x", MakeStringValue("y")), kErrorSuccess);
  RegistryValue value;
  EXPECT_EQ(writer.QueryValue("x", value), kErrorAccessDenied);  // 0x20006 has no query right
  EXPECT_EQ(writer.DeleteValue("x"), kErrorSuccess);
  EXPECT_EQ(writer.DeleteValue("x"), kErrorFileNotFound);
}

TEST(RegistryTest, ReadOnlyMachineRefusesEveryWriteButStillReads) {
  test::EmulatedMachine machine;
  RegistryKey key;
  ASSERT_EQ(key.Create(kKey, kKeyWrite | kKeyRead), kErrorSuccess);
  ASSERT_EQ(key.SetValue("HotspotKey", MakeStringValue("12345678")), kErrorSuccess);
  ASSERT_TRUE(machine::SetFault("RegistryReadOnly", 1));

  EXPECT_EQ(key.SetValue("HotspotKey", MakeStringValue("changed!")), kErrorAccessDenied);
  EXPECT_EQ(key.DeleteValue("HotspotKey"), kErrorAccessDenied);
  RegistryKey other;
  EXPECT_EQ(other.Create("SOFTWARE\\New", kKeyWrite), kErrorAccessDenied);
  EXPECT_EQ(other.Open("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", kKeyWrite), kErrorAccessDenied);
  RegistryValue value;
  ASSERT_EQ(key.QueryValue("HotspotKey", value), kErrorSuccess);
  EXPECT_EQ(StringFromValue(value), "12345678");
}

TEST(RegistryTest, WithoutAMachineNothingIsFound) {
  test::EmulatedMachine machine;
  unsetenv("ZEPHLINK_MACHINE");
  RegistryKey key;
  EXPECT_EQ(key.Open("SOFTWARE", kKeyRead), kErrorFileNotFound);
  EXPECT_NE(key.Create("SOFTWARE\\X", kKeyWrite), kErrorSuccess);
  setenv("ZEPHLINK_MACHINE", machine.Directory().c_str(), 1);
}

TEST(RegistryTest, EnumeratesAndDeletesSubKeyTrees) {
  test::EmulatedMachine machine;
  RegistryKey key;
  ASSERT_EQ(key.Create("SOFTWARE\\T\\b\\deep", kKeyWrite), kErrorSuccess);
  ASSERT_EQ(key.Create("SOFTWARE\\T\\A", kKeyWrite), kErrorSuccess);
  RegistryKey parent;
  ASSERT_EQ(parent.Open("SOFTWARE\\T", kKeyRead | kKeyWrite), kErrorSuccess);
  std::vector<std::string> names;
  ASSERT_EQ(parent.EnumerateSubKeys(names), kErrorSuccess);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b"}));
  ASSERT_EQ(parent.DeleteSubKeyTree("B"), kErrorSuccess);
  EXPECT_EQ(key.Open("SOFTWARE\\T\\b\\deep", kKeyRead), kErrorFileNotFound);
  EXPECT_EQ(parent.DeleteSubKeyTree("B"), kErrorFileNotFound);
}

TEST(RegistryTest, ConcurrentWritersInSeveralProcessesLoseNothing) {
  test::EmulatedMachine machine;
  constexpr int kProcesses = 4;
  constexpr int kValuesEach = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      RegistryKey key;
      int failures = 0;
      for (int i = 0; i < kValuesEach; ++i) {
        failures += key.Create(kKey, kKeyWrite) != kErrorSuccess;
        failures += key.SetValue("v" + std::to_string(p) + "_" + std::to_string(i), MakeDwordValue(i)) != kErrorSuccess;
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  RegistryKey key;
  ASSERT_EQ(key.Open(kKey, kKeyRead), kErrorSuccess);
  std::vector<std::string> names;
  ASSERT_EQ(key.EnumerateValues(names), kErrorSuccess);
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kProcesses * kValuesEach));
}

TEST(RegistryValueTest, MultiStringsRoundTrip) {
  const RegistryValue value = MakeMultiStringValue({"a", "bc"});
  EXPECT_EQ(value.data, std::string("a\0bc\0\0", 6));
  EXPECT_EQ(MultiStringFromValue(value), (std::vector<std::string>{"a", "bc"}));
  EXPECT_TRUE(MultiStringFromValue(MakeMultiStringValue({})).empty());
}

}  // namespace
}  // namespace zl::platform

namespace zl::platform {
namespace {

TEST(RegistryThreadsTest, ConcurrentWritersInOneProcessLoseNothing) {
  test::EmulatedMachine machine;
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 20; ++i) {
        RegistryKey key;
        if (key.Create(kKey, kKeyWrite) != kErrorSuccess ||
            key.SetValue("t" + std::to_string(t) + "_" + std::to_string(i), MakeDwordValue(i)) != kErrorSuccess) {
          ++failures;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  RegistryKey key;
  ASSERT_EQ(key.Open(kKey, kKeyRead), kErrorSuccess);
  std::vector<std::string> names;
  ASSERT_EQ(key.EnumerateValues(names), kErrorSuccess);
  EXPECT_EQ(names.size(), 80u);
}

}  // namespace
}  // namespace zl::platform
