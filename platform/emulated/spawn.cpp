#include "spawn.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "native_names.h"
#include "zl/platform/process.h"

extern char** environ;

namespace zl::platform::emulated {
namespace {

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

pid_t SpawnProgram(const std::string& path, const std::string& commandLine, const SpawnOptions& options) {
  // Everything the child needs is prepared before fork.
  std::vector<std::string> args{path};
  const auto split = SplitCommandLine(commandLine);
  for (std::size_t i = 1; i < split.size(); ++i) args.push_back(Cp1252ToUtf8(split[i]));
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("ZEPHLINK_COMMAND_LINE=", 0) == 0 || entry.rfind("ZEPHLINK_COMMAND_LINE_IMAGE=", 0) == 0) continue;
    env.push_back(entry);
  }
  env.push_back("ZEPHLINK_COMMAND_LINE=" + Cp1252ToUtf8(commandLine));
  env.push_back("ZEPHLINK_COMMAND_LINE_IMAGE=" + RealPath(path));
  for (const auto& extra : options.extraEnvironment) env.push_back(extra);
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int nullFd = open("/dev/null", O_RDWR | O_CLOEXEC);
  int pidPipe[2] = {-1, -1};
  if (options.detached && pipe2(pidPipe, O_CLOEXEC) != 0) {
    if (nullFd >= 0) close(nullFd);
    return -1;
  }

  auto execChild = [&]() {
    if (nullFd >= 0) dup2(nullFd, 0);
    if (options.outputFd >= 0) {
      dup2(options.outputFd, 1);
      dup2(options.outputFd, 2);
    }
    if (!options.directory.empty() && chdir(options.directory.c_str()) != 0) _exit(127);
    execve(path.c_str(), argv.data(), envp.data());
    _exit(127);
  };

  const pid_t pid = fork();
  if (pid == 0) {
    if (!options.detached) execChild();
    // Detached: a session of its own, and a grandchild that init adopts.
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) execChild();
    WriteAll(pidPipe[1], &grandchild, sizeof grandchild);
    _exit(0);
  }
  if (nullFd >= 0) close(nullFd);
  if (pid < 0 || !options.detached) {
    if (pidPipe[0] >= 0) close(pidPipe[0]);
    if (pidPipe[1] >= 0) close(pidPipe[1]);
    return pid;
  }
  close(pidPipe[1]);
  pid_t grandchild = -1;
  ssize_t got;
  do {
    got = read(pidPipe[0], &grandchild, sizeof grandchild);
  } while (got < 0 && errno == EINTR);
  close(pidPipe[0]);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  return got == sizeof grandchild ? grandchild : -1;
}

}  // namespace zl::platform::emulated
