// The Zephlink program itself, headless on a fresh machine: it comes up with
// its window and the link's server, saves pictures of the window when asked,
// ends cleanly on SIGTERM, and a second start ends at once.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "control_panel/view_qt/window_layout.h"
#include "tests/support/emulated_machine.h"

namespace zl::view::test {
namespace {

using namespace std::chrono_literals;

pid_t StartProgram(const std::string& screenshots) {
  // Everything the child needs is made before the fork: this process has threads.
  std::vector<std::string> variables = {"QT_QPA_PLATFORM=offscreen", "ZEPHLINK_SCREENSHOTS=" + screenshots,
                                        "ZEPHLINK_SCREENSHOT_INTERVAL_MS=100"};
  for (char** entry = environ; *entry; ++entry) {
    const std::string variable = *entry;
    if (variable.rfind("QT_QPA_PLATFORM=", 0) != 0 && variable.rfind("ZEPHLINK_SCREENSHOT", 0) != 0) {
      variables.push_back(variable);
    }
  }
  std::vector<char*> environment;
  for (std::string& variable : variables) environment.push_back(variable.data());
  environment.push_back(nullptr);
  char name[] = "Zephlink";
  char* arguments[] = {name, nullptr};
  const pid_t pid = fork();
  if (pid == 0) {
    execve(ZL_ZEPHLINK_PROGRAM, arguments, environment.data());
    _exit(127);
  }
  return pid;
}

bool LinkPortListens() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(7467);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

// Waits for a process's output in real time (the program runs on the system clock).
template <typename Done>
bool WaitFor(Done done, std::chrono::seconds limit = 60s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

int WaitForExit(pid_t pid) {
  int status = 0;
  if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; })) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class Program : public ::testing::Test {
 protected:
  Program() : shots_(machine_.Directory() + "/shots"), latest_(shots_ + "/zephlink-latest.png") {}
  zl::test::EmulatedMachine machine_;
  std::string shots_;
  std::string latest_;
};

TEST_F(Program, ComesUpSavesPicturesAndEndsCleanlyOnSigterm) {
  const pid_t pid = StartProgram(shots_);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(latest_) && LinkPortListens(); }))
      << "no window or no link server";
  EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(shots_ + "/zephlink-0003.png"); }));
  const QImage picture(QString::fromStdString(shots_ + "/zephlink-0001.png"));
  EXPECT_EQ(picture.size(), QSize(kClientWidth, kClientHeight));

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(WaitForExit(pid), 0);
  EXPECT_FALSE(LinkPortListens());
}

TEST_F(Program, ASecondStartEndsAtOnceWithoutAWindow) {
  const pid_t first = StartProgram(shots_);
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(latest_); }));
  const pid_t second = StartProgram(shots_ + "-second");
  EXPECT_EQ(WaitForExit(second), 0);
  EXPECT_FALSE(std::filesystem::exists(shots_ + "-second/zephlink-latest.png"));
  EXPECT_EQ(machine_.ReadFile("MessageBoxes.log"), "");
  kill(first, SIGTERM);
  EXPECT_EQ(WaitForExit(first), 0);
}

}  // namespace
}  // namespace zl::view::test
