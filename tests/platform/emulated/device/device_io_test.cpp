// A control device of the machine from both ends: device_io.h as a program
// calls it, DeviceServer with a scripted session standing for the driver.
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/emulated_machine.h"
#include "zl/platform/device_io.h"
#include "zl/platform/device_server.h"

namespace zl::platform {
namespace {

constexpr std::uint32_t kStatusSuccess = 0;
constexpr std::uint32_t kStatusInvalidParameter = 0xC000000D;
constexpr std::uint32_t kStatusBufferOverflow = 0x80000005;
constexpr std::uint32_t kStatusAccessDenied = 0xC0000022;

// What the scripted driver saw and answers.
struct Script {
  std::mutex mutex;
  std::vector<DeviceControlRequest> requests;
  std::vector<pid_t> opens;
  int closes = 0;
  int running = 0;
  bool overlapped = false;
  std::uint32_t openStatus = kStatusSuccess;
  DeviceControlReply reply;
};

class ScriptedSession final : public DeviceSession {
 public:
  explicit ScriptedSession(Script& script) : script_(script) {}
  ~ScriptedSession() override {
    std::lock_guard lock(script_.mutex);
    ++script_.closes;
  }
  DeviceControlReply Control(const DeviceControlRequest& request) override {
    {
      std::lock_guard lock(script_.mutex);
      if (++script_.running > 1) script_.overlapped = true;
      script_.requests.push_back(request);
    }
    std::this_thread::yield();
    std::lock_guard lock(script_.mutex);
    --script_.running;
    return script_.reply;
  }

 private:
  Script& script_;
};

class DeviceIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start(DeviceSocketPath("TESTDEV"), [this](pid_t pid) {
      std::lock_guard lock(script_.mutex);
      script_.opens.push_back(pid);
      DeviceServer::Opened opened;
      opened.status = script_.openStatus;
      if (opened.status == kStatusSuccess) opened.session = std::make_unique<ScriptedSession>(script_);
      return opened;
    }));
  }
  void Answer(std::uint32_t status, std::uint32_t information, std::vector<std::uint8_t> output) {
    std::lock_guard lock(script_.mutex);
    script_.reply = {status, information, std::move(output)};
  }

  zl::test::EmulatedMachine machine_;
  Script script_;
  DeviceServer server_;
};

TEST_F(DeviceIoTest, DeviceNamesAreMatchedWithoutRegardToCaseAndOthersAreNotFound) {
  const DeviceHandle device = OpenDevice("\\\\.\\testdev");
  ASSERT_NE(device, kInvalidDevice);
  EXPECT_EQ(script_.opens, std::vector<pid_t>{getpid()});
  CloseDevice(device);

  for (const char* name : {"\\\\.\\OTHER", "TESTDEV", "\\\\.\\", "\\\\.\\..", "\\\\.\\a/b", "\\\\.\\TEST\\DEV"}) {
    EXPECT_EQ(OpenDevice(name), kInvalidDevice) << name;
    EXPECT_EQ(LastDeviceError(), 2u) << name;
  }
}

TEST_F(DeviceIoTest, ARequestCarriesCodeInputAndOutputLengthAndTheReplyFillsTheOutput) {
  const DeviceHandle device = OpenDevice("\\\\.\\TESTDEV");
  Answer(kStatusSuccess, 3, {7, 8, 9});
  const std::uint8_t input[5] = {1, 2, 3, 4, 5};
  std::uint8_t output[6] = {0, 0, 0, 0, 0, 0xEE};
  std::uint32_t bytes = 99;
  ASSERT_TRUE(DeviceIoControl(device, 0x830020C0, input, sizeof input, output, sizeof output, bytes));
  EXPECT_EQ(bytes, 3u);
  EXPECT_EQ(std::vector<std::uint8_t>(output, output + 6), (std::vector<std::uint8_t>{7, 8, 9, 0, 0, 0xEE}));
  ASSERT_EQ(script_.requests.size(), 1u);
  EXPECT_EQ(script_.requests[0].controlCode, 0x830020C0u);
  EXPECT_EQ(script_.requests[0].input, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(script_.requests[0].outputLength, 6u);
  CloseDevice(device);
}

struct StatusCase {
  std::uint32_t status;
  std::uint32_t error;
  bool outputCopied;
};

TEST_F(DeviceIoTest, FailedStatusesBecomePlatformErrorsAndOnlyWarningsCopyOutput) {
  const DeviceHandle device = OpenDevice("\\\\.\\TESTDEV");
  const StatusCase cases[] = {
      {kStatusInvalidParameter, 87, false},
      {0xC0000001, 31, false},
      {kStatusAccessDenied, 5, false},
      {0xC0000010, 1, false},
      {kStatusBufferOverflow, 234, true},
      {0xC0ABCDEF, 317, false},
  };
  for (const StatusCase& c : cases) {
    Answer(c.status, 2, {0x11, 0x22});
    std::uint8_t output[2] = {0, 0};
    std::uint32_t bytes = 99;
    EXPECT_FALSE(DeviceIoControl(device, 1, nullptr, 0, output, sizeof output, bytes)) << std::hex << c.status;
    EXPECT_EQ(LastDeviceError(), c.error) << std::hex << c.status;
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(output[0], c.outputCopied ? 0x11 : 0) << std::hex << c.status;
  }
  CloseDevice(device);
}

TEST_F(DeviceIoTest, ACreateTheDriverRefusesOpensNoHandle) {
  script_.openStatus = kStatusAccessDenied;
  EXPECT_EQ(OpenDevice("\\\\.\\TESTDEV"), kInvalidDevice);
  EXPECT_EQ(LastDeviceError(), 5u);
  EXPECT_EQ(script_.closes, 0);
}

TEST_F(DeviceIoTest, CloseReturnsOnceTheHandlesSessionHasEnded) {
  const DeviceHandle first = OpenDevice("\\\\.\\TESTDEV");
  const DeviceHandle second = OpenDevice("\\\\.\\TESTDEV");
  ASSERT_NE(first, second);
  CloseDevice(first);
  {
    std::lock_guard lock(script_.mutex);
    EXPECT_EQ(script_.closes, 1);
  }
  std::uint32_t bytes = 0;
  EXPECT_FALSE(DeviceIoControl(first, 1, nullptr, 0, nullptr, 0, bytes));
  EXPECT_EQ(LastDeviceError(), 6u);
  EXPECT_TRUE(DeviceIoControl(second, 1, nullptr, 0, nullptr, 0, bytes));
  CloseDevice(second);
  CloseDevice(second);  // a closed handle is not closed twice
  std::lock_guard lock(script_.mutex);
  EXPECT_EQ(script_.closes, 2);
}

TEST_F(DeviceIoTest, RequestsOfSeveralThreadsOnOneHandleRunOneAtATime) {
  const DeviceHandle device = OpenDevice("\\\\.\\TESTDEV");
  constexpr int kThreads = 4, kEach = 50;
  std::atomic<int> succeeded{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const std::uint32_t input = std::uint32_t(t * 1000 + i);
        std::uint32_t bytes = 0;
        if (DeviceIoControl(device, 2, &input, sizeof input, nullptr, 0, bytes)) ++succeeded;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  CloseDevice(device);
  EXPECT_EQ(succeeded.load(), kThreads * kEach);
  std::lock_guard lock(script_.mutex);
  EXPECT_FALSE(script_.overlapped);
  EXPECT_EQ(script_.requests.size(), std::size_t(kThreads * kEach));
}

TEST_F(DeviceIoTest, AServerThatStopsEndsItsHandlesAndTheirRequestsFail) {
  const DeviceHandle device = OpenDevice("\\\\.\\TESTDEV");
  server_.Stop();
  EXPECT_EQ(script_.closes, 1);
  std::uint32_t bytes = 0;
  EXPECT_FALSE(DeviceIoControl(device, 1, nullptr, 0, nullptr, 0, bytes));
  EXPECT_EQ(LastDeviceError(), 31u);
  CloseDevice(device);
  EXPECT_EQ(OpenDevice("\\\\.\\TESTDEV"), kInvalidDevice);
  EXPECT_EQ(LastDeviceError(), 2u);
}

TEST_F(DeviceIoTest, BuffersThatDoNotMatchTheirLengthsAreRefusedBeforeSending) {
  const DeviceHandle device = OpenDevice("\\\\.\\TESTDEV");
  std::uint32_t bytes = 0;
  EXPECT_FALSE(DeviceIoControl(device, 1, nullptr, 4, nullptr, 0, bytes));
  EXPECT_EQ(LastDeviceError(), 87u);
  EXPECT_FALSE(DeviceIoControl(device, 1, nullptr, 0, nullptr, 4, bytes));
  EXPECT_EQ(LastDeviceError(), 87u);
  EXPECT_TRUE(script_.requests.empty());
  CloseDevice(device);
}

}  // namespace
}  // namespace zl::platform
