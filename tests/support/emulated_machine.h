// A fresh emulated Windows machine for one test: a temporary directory with
// the default profile (or an empty machine), made the process's machine for
// the test's lifetime. Services started on it are ended and the directory
// is removed afterwards.
#pragma once

#include <string>

namespace zl::test {

class EmulatedMachine {
 public:
  explicit EmulatedMachine(bool defaultProfile = true);
  ~EmulatedMachine();
  EmulatedMachine(const EmulatedMachine&) = delete;
  EmulatedMachine& operator=(const EmulatedMachine&) = delete;

  // Native path of the machine's directory.
  const std::string& Directory() const { return directory_; }
  // A file of the machine's directory ("netsh.log", "Console.log", ...);
  // empty when it does not exist.
  std::string ReadFile(const std::string& name) const;
  // Native path of the machine's programs (cmd.exe, netsh.exe, zlsvcdemo, ...).
  static std::string ProgramsFolder();

 private:
  std::string directory_;
  std::string previous_;
  bool hadPrevious_ = false;
};

}  // namespace zl::test
