// A control device of the machine from both ends: device_io.h as a program
// calls it, DeviceServer with a scripted session standing for the driver.
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
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
  int answered = 0;
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
  void Answered() override {
    std::lock_guard lock(script_.mutex);
    ++script_.answered;
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

// A client of the socket's own, which can send what the library never does.
class RawConnection {
 public:
  explicit RawConnection(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() { ::close(fd_); }
  bool Connected() const { return connected_; }
  bool Send(const std::vector<std::uint8_t>& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  // Exactly `length` bytes, or fewer when the stream ends or nothing comes
  // within the bound.
  std::vector<std::uint8_t> Receive(std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    std::size_t got = 0;
    while (got < length) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, 10000) != 1) break;
      const ssize_t n = ::recv(fd_, bytes.data() + got, length - got, 0);
      if (n <= 0) break;
      got += std::size_t(n);
    }
    bytes.resize(got);
    return bytes;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

// A request as it travels on the socket: magic "ZLDV", code, input length,
// output length, then the input.
std::vector<std::uint8_t> WireRequest(std::uint32_t code, const std::vector<std::uint8_t>& input,
                                      std::uint32_t outputLength) {
  const std::uint32_t header[4] = {0x56444C5A, code, std::uint32_t(input.size()), outputLength};
  std::vector<std::uint8_t> bytes(sizeof header);
  std::memcpy(bytes.data(), header, sizeof header);
  bytes.insert(bytes.end(), input.begin(), input.end());
  return bytes;
}

TEST_F(DeviceIoTest, RequestsWrittenInOneGoAreServedOneAfterTheOtherInTheirOrder) {
  Answer(kStatusSuccess, 2, {0x51, 0x52});
  RawConnection client(DeviceSocketPath("TESTDEV"));
  ASSERT_TRUE(client.Connected());
  ASSERT_EQ(client.Receive(4), std::vector<std::uint8_t>(4, 0));  // the create's status

  // Three requests in one write, the last one split before its input ends:
  // the host reads them as they come and answers each in turn.
  std::vector<std::uint8_t> bytes = WireRequest(10, {1, 2, 3}, 2);
  for (const auto& next : {WireRequest(11, {}, 0), WireRequest(12, {4, 5, 6, 7, 8}, 2)}) {
    bytes.insert(bytes.end(), next.begin(), next.end());
  }
  const std::vector<std::uint8_t> tail(bytes.end() - 2, bytes.end());
  bytes.resize(bytes.size() - 2);
  ASSERT_TRUE(client.Send(bytes));
  // Status, bytes reported, output bytes, output.
  const std::vector<std::uint8_t> withOutput = {0, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 0x51, 0x52};
  const std::vector<std::uint8_t> withoutOutput = {0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(client.Receive(withOutput.size()), withOutput);
  EXPECT_EQ(client.Receive(withoutOutput.size()), withoutOutput);
  ASSERT_TRUE(client.Send(tail));
  EXPECT_EQ(client.Receive(withOutput.size()), withOutput);

  std::lock_guard lock(script_.mutex);
  ASSERT_EQ(script_.requests.size(), 3u);
  EXPECT_EQ(script_.requests[0].controlCode, 10u);
  EXPECT_EQ(script_.requests[0].input, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(script_.requests[1].controlCode, 11u);
  EXPECT_TRUE(script_.requests[1].input.empty());
  EXPECT_EQ(script_.requests[2].controlCode, 12u);
  EXPECT_EQ(script_.requests[2].input, (std::vector<std::uint8_t>{4, 5, 6, 7, 8}));
  EXPECT_FALSE(script_.overlapped);
}

TEST_F(DeviceIoTest, InputsAndOutputsLargerThanOneSocketReadArriveWhole) {
  const DeviceHandle device = OpenDevice("\\\\.\\TESTDEV");
  // Sizes around and far beyond what the host reads at once, each followed by
  // a small request that must not see anything of the large one.
  for (const std::size_t size : {std::size_t(65536 - 16), std::size_t(65536), std::size_t(3 << 20)}) {
    std::vector<std::uint8_t> input(size), answer(size);
    for (std::size_t i = 0; i < size; ++i) {
      input[i] = std::uint8_t(i * 7 + 1);
      answer[i] = std::uint8_t(i * 13 + 5);
    }
    Answer(kStatusSuccess, std::uint32_t(size), answer);
    std::vector<std::uint8_t> output(size);
    std::uint32_t bytes = 0;
    ASSERT_TRUE(DeviceIoControl(device, 3, input.data(), std::uint32_t(size), output.data(), std::uint32_t(size),
                                bytes))
        << size;
    EXPECT_EQ(bytes, size);
    EXPECT_TRUE(output == answer) << size;

    Answer(kStatusSuccess, 1, {0x77});
    std::uint8_t small[2] = {0, 0};
    const std::uint8_t one = 0x42;
    ASSERT_TRUE(DeviceIoControl(device, 4, &one, 1, small, sizeof small, bytes)) << size;
    EXPECT_EQ(small[0], 0x77);
    EXPECT_EQ(small[1], 0);
    std::lock_guard lock(script_.mutex);
    ASSERT_EQ(script_.requests.size(), 2u);
    EXPECT_TRUE(script_.requests[0].input == input) << size;
    EXPECT_EQ(script_.requests[1].input, std::vector<std::uint8_t>{0x42});
    script_.requests.clear();
  }
  CloseDevice(device);
}

TEST_F(DeviceIoTest, TheSessionLearnsOfEveryAnswerItGave) {
  const DeviceHandle device = OpenDevice("\\\\.\\TESTDEV");
  Answer(kStatusInvalidParameter, 0, {});
  std::uint32_t bytes = 0;
  EXPECT_FALSE(DeviceIoControl(device, 1, nullptr, 0, nullptr, 0, bytes));
  Answer(kStatusSuccess, 0, {});
  EXPECT_TRUE(DeviceIoControl(device, 1, nullptr, 0, nullptr, 0, bytes));
  EXPECT_TRUE(DeviceIoControl(device, 1, nullptr, 0, nullptr, 0, bytes));
  // Closing waits for the session to end, after its last answer.
  CloseDevice(device);
  std::lock_guard lock(script_.mutex);
  EXPECT_EQ(script_.answered, 3);
}

}  // namespace
}  // namespace zl::platform
