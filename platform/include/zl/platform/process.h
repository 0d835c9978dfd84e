// Starting programs through the shell with a verb, waiting for them and
// reading their exit codes; the process's own command line and file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zl::platform {

// Show commands of a started program's window.
inline constexpr std::uint16_t kShowHide = 0;
inline constexpr std::uint16_t kShowNormal = 1;

struct ShellExecuteRequest {
  std::string verb;        // "open", "runas", or empty for the default
  std::string file;        // a program or a document; a bare name is searched for
  std::string parameters;  // the command line after the program's name
  std::string directory;   // working directory; empty for the current one
  std::uint16_t show = kShowNormal;
};

// A started process. Closing it (or destroying it) does not end the process.
class ProcessHandle {
 public:
  enum class WaitResult { Ended, TimedOut, Failed };

  ProcessHandle() = default;
  ~ProcessHandle();
  ProcessHandle(ProcessHandle&& other) noexcept;
  ProcessHandle& operator=(ProcessHandle&& other) noexcept;
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;

  bool IsValid() const { return id_ > 0; }
  std::int64_t Id() const { return id_; }
  // Waits at most `timeoutMs` for the process to end (0 only looks).
  WaitResult Wait(std::uint32_t timeoutMs);
  // The exit code once the process has ended; false before, or on failure.
  bool GetExitCode(std::int32_t& code) const;
  void Close();

 private:
  friend bool ExecuteWithShell(const ShellExecuteRequest&, ProcessHandle&);
  friend bool StartProgram(const std::string&, const std::string&, ProcessHandle&);
  std::int64_t id_ = 0;
  std::intptr_t native_ = 0;  // the backend's own handle of the process, where it keeps one
  bool ended_ = false;
  std::int32_t exitCode_ = 0;
};

// ShellExecuteEx asking for the process handle. False when the shell fails
// (no such file, a verb it cannot apply). A document opened with its
// application yields no handle: `process` stays invalid.
bool ExecuteWithShell(const ShellExecuteRequest& request, ProcessHandle& process);

// CreateProcess: starts a program file (a path) with a complete command line
// (program name included); the child shares this process's console.
bool StartProgram(const std::string& file, const std::string& commandLine, ProcessHandle& process);
// Finds a program by bare name as the command interpreter does: the
// machine's system folder, then the running program's folder; letter case
// ignored, ".exe" implied. Empty when there is none.
std::string FindProgram(const std::string& name);

// The command line of the running process (GetCommandLine): the program's
// name followed by its parameters, exactly as the starter passed them.
std::string GetCommandLineText();
// CommandLineToArgv: the command line split into arguments by the rules of
// the platform's C runtime (quotes group, backslashes escape quotes).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
// The full path of the running program's file.
std::string ProgramFile();

}  // namespace zl::platform
