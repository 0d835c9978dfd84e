// A program run by a test as a child process in a process group of its own.
// Its standard output and error go to a file the fixture reads, so the child
// never blocks on a pipe nobody drains; its standard input is a pipe the test
// may write lines to. Every wait is bounded. When the fixture goes, the whole
// group is killed and the child reaped, also when the test failed half-way.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zl::test {

// Calls `condition` every few milliseconds until it holds or `limit` of real
// time passed; returns its last result.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

class ChildProcess {
 public:
  // argv[0] is the program's path; `environment` entries ("NAME=value") are
  // added to (or replace those of) the test's own environment.
  explicit ChildProcess(std::vector<std::string> argv, std::vector<std::string> environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // False when the program could not be started (the output tells why).
  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  // Standard output and error so far, interleaved as written.
  std::string Output() const;
  // Waits until the output holds `text`; false when `limit` passed first or
  // the child ended without printing it.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(20));
  // Counts the occurrences of `text` in the output.
  std::size_t CountInOutput(const std::string& text) const;

  // A line (a newline is added) to the child's standard input.
  bool WriteLine(const std::string& line);
  void CloseInput();

  // Sends a signal to the child alone (not its group).
  void Signal(int signal);
  // The exit code once the child ended (128 + signal when a signal ended it),
  // waiting at most `limit`; nothing when it still runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(20));
  bool Running();
  // Kills the whole group now and reaps the child.
  void Kill();

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  std::string outputPath_;
  std::optional<int> exitCode_;
};

}  // namespace zl::test
