#include "zl/platform/process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "folder_search.h"
#include "hive.h"
#include "machine_store.h"
#include "native_names.h"
#include "spawn.h"
#include "zl/platform/files.h"
#include "zl/platform/machine_state.h"

namespace zl::platform {
namespace {

// Children whose handle was closed before they ended; reaped later so they
// do not stay behind as zombies.
std::mutex orphansLock;
std::vector<pid_t> orphans;

void ReapOrphans() {
  std::lock_guard<std::mutex> guard(orphansLock);
  for (auto it = orphans.begin(); it != orphans.end();) {
    it = waitpid(*it, nullptr, WNOHANG) != 0 ? orphans.erase(it) : it + 1;
  }
}

// A bare name is looked for in the program's folder, then in the machine's
// system folder, letter case ignored and ".exe" implied, as the shell does.
std::string ResolveFile(const std::string& file) {
  if (file.find('\\') != std::string::npos || file.find('/') != std::string::npos) {
    const std::string path = emulated::NativePath(file);
    return access(path.c_str(), F_OK) == 0 ? path : std::string();
  }
  std::string path = emulated::FindInFolder(emulated::NativeProgramFolder(), emulated::NativePath(file), ".exe");
  if (path.empty()) path = emulated::FindInFolder(machine::SystemFolder(), emulated::NativePath(file), ".exe");
  if (path.empty() && access(emulated::NativePath(file).c_str(), F_OK) == 0) path = emulated::NativePath(file);
  return path;
}

bool IsProgram(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

void AppendToMachineFile(const std::string& name, const std::string& line) {
  const std::string dir = emulated::MachineDirectory();
  if (dir.empty()) return;
  const int fd = open((dir + "/" + name).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  const std::string text = line + "\n";
  [[maybe_unused]] const ssize_t written = write(fd, text.data(), text.size());
  close(fd);
}

}  // namespace

ProcessHandle::~ProcessHandle() { Close(); }

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : id_(other.id_), ended_(other.ended_), exitCode_(other.exitCode_) {
  other.id_ = 0;
}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
  if (this != &other) {
    Close();
    id_ = other.id_;
    ended_ = other.ended_;
    exitCode_ = other.exitCode_;
    other.id_ = 0;
  }
  return *this;
}

ProcessHandle::WaitResult ProcessHandle::Wait(std::uint32_t timeoutMs) {
  if (!IsValid()) return WaitResult::Failed;
  if (ended_) return WaitResult::Ended;
  // Waiting on the process itself, in short real steps: this is not a timer,
  // so it runs on the wall clock even where the programs' clock is virtual.
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(static_cast<pid_t>(id_), &status, WNOHANG);
    if (done == id_) {
      ended_ = true;
      exitCode_ = WIFEXITED(status) ? static_cast<std::int32_t>(static_cast<std::uint8_t>(WEXITSTATUS(status)))
                                    : 128 + WTERMSIG(status);
      return WaitResult::Ended;
    }
    if (done < 0 && errno != EINTR) return WaitResult::Failed;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long elapsedMs = (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsedMs >= timeoutMs) return WaitResult::TimedOut;
    const timespec step{0, 1000000};
    nanosleep(&step, nullptr);
  }
}

bool ProcessHandle::GetExitCode(std::int32_t& code) const {
  if (!IsValid() || !ended_) return false;
  code = exitCode_;
  return true;
}

void ProcessHandle::Close() {
  if (IsValid() && !ended_) {
    std::lock_guard<std::mutex> guard(orphansLock);
    orphans.push_back(static_cast<pid_t>(id_));
  }
  id_ = 0;
  ended_ = false;
}

bool ExecuteWithShell(const ShellExecuteRequest& request, ProcessHandle& process) {
  ReapOrphans();
  process.Close();
  const std::string verb = emulated::FoldCase(request.verb);
  if (!verb.empty() && verb != "open" && verb != "runas") return false;
  if (request.file.find("://") != std::string::npos) {
    // An address on the web goes to the default browser; the machine
    // records it as it records documents.
    AppendToMachineFile("Shell.log", (verb.empty() ? "open" : verb) + "\t" + request.file);
    return true;
  }
  const std::string path = ResolveFile(request.file);
  if (path.empty()) return false;

  if (!IsProgram(path)) {
    // A document or folder: the shell hands it to its application. The
    // machine records what was opened.
    AppendToMachineFile("Shell.log", (verb.empty() ? "open" : verb) + "\t" + emulated::ProgramPath(path));
    return true;
  }

  const std::string quotedFile = "\"" + request.file + "\"";
  const std::string commandLine = request.parameters.empty() ? quotedFile : quotedFile + " " + request.parameters;
  // A hidden program's console output goes to the machine's console log.
  const std::string machineDir = emulated::MachineDirectory();
  int outFd = -1;
  if (request.show == kShowHide) {
    const std::string console = machineDir.empty() ? std::string("/dev/null") : machineDir + "/Console.log";
    outFd = open(console.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  }
  const pid_t pid = emulated::SpawnProgram(path, commandLine, {emulated::NativePath(request.directory), outFd, {}, false});
  if (outFd >= 0) close(outFd);
  if (pid < 0) return false;
  process.id_ = pid;
  process.ended_ = false;
  return true;
}

bool StartProgram(const std::string& file, const std::string& commandLine, ProcessHandle& process) {
  ReapOrphans();
  process.Close();
  const std::string path = emulated::NativePath(file);
  if (!IsProgram(path)) return false;
  const pid_t pid = emulated::SpawnProgram(path, commandLine, {});
  if (pid < 0) return false;
  process.id_ = pid;
  process.ended_ = false;
  return true;
}

std::string FindProgram(const std::string& name) {
  std::string path = emulated::FindInFolder(machine::SystemFolder(), emulated::NativePath(name), ".exe");
  if (path.empty()) path = emulated::FindInFolder(emulated::NativeProgramFolder(), emulated::NativePath(name), ".exe");
  return path.empty() || !IsProgram(path) ? std::string() : emulated::ProgramPath(path);
}

}  // namespace zl::platform
