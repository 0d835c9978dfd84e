#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace zl::test {
namespace {

using Wall = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kPollStep{5};

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** entry = environ; *entry; ++entry) {
    const std::string existing = *entry;
    bool replaced = false;
    for (const auto& added : extra) replaced |= nameOf(added) == nameOf(existing);
    if (!replaced) merged.push_back(existing);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = Wall::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (Wall::now() >= deadline) return condition();
    std::this_thread::sleep_for(kPollStep);
  }
}

ChildProcess::ChildProcess(std::vector<std::string> argv, std::vector<std::string> environment) {
  char pattern[] = "/tmp/zl-child-XXXXXX";
  const int output = mkstemp(pattern);
  if (output < 0) return;
  outputPath_ = pattern;
  int inputPipe[2];
  if (pipe2(inputPipe, O_CLOEXEC) != 0) {
    close(output);
    return;
  }
  std::vector<std::string> env = MergedEnvironment(environment);
  std::vector<char*> argPointers = Pointers(argv);
  std::vector<char*> envPointers = Pointers(env);

  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    dup2(inputPipe[0], 0);
    dup2(output, 1);
    dup2(output, 2);
    // The test may block these for its own threads; the program starts clean.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(argPointers[0], argPointers.data(), envPointers.data());
    const std::string message = "cannot start " + argv[0] + ": " + std::strerror(errno) + "\n";
    (void)!write(2, message.data(), message.size());
    _exit(127);
  }
  close(inputPipe[0]);
  close(output);
  if (pid < 0) {
    close(inputPipe[1]);
    return;
  }
  // Also here, so that a kill of the group right after the fork finds it.
  setpgid(pid, pid);
  pid_ = pid;
  input_ = inputPipe[1];
}

ChildProcess::~ChildProcess() {
  Kill();
  if (!outputPath_.empty()) unlink(outputPath_.c_str());
}

std::string ChildProcess::Output() const {
  std::ifstream file(outputPath_, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::size_t ChildProcess::CountInOutput(const std::string& text) const {
  const std::string output = Output();
  std::size_t count = 0;
  for (std::size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + text.size())) ++count;
  return count;
}

bool ChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds limit) {
  const auto found = [&] { return Output().find(text) != std::string::npos; };
  // A child that ended will print nothing more.
  WaitUntil([&] { return found() || !Running(); }, limit);
  return found();
}

bool ChildProcess::WriteLine(const std::string& line) {
  if (input_ < 0) return false;
  const std::string text = line + "\n";
  // A child that ended must not end the test with SIGPIPE.
  struct sigaction ignore {}, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);
  const bool written = write(input_, text.data(), text.size()) == ssize_t(text.size());
  sigaction(SIGPIPE, &previous, nullptr);
  return written;
}

void ChildProcess::CloseInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0 && !exitCode_) kill(pid_, signal);
}

bool ChildProcess::Running() {
  if (pid_ <= 0 || exitCode_) return false;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == pid_) {
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
  }
  return done == 0;
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds limit) {
  WaitUntil([&] { return !Running(); }, limit);
  return exitCode_;
}

void ChildProcess::Kill() {
  CloseInput();
  if (pid_ <= 0) return;
  // The group: whatever the child started without a session of its own ends too.
  kill(-pid_, SIGKILL);
  if (!exitCode_) {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
}

}  // namespace zl::test
