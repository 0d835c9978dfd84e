// cmd.exe of the emulated machine: runs "/c <line>" as the Windows command
// interpreter would, enough for the system's netsh commands, with the same
// quote rule and command separators, so a line that breaks its quoting runs
// what follows as further commands, as it would on Windows.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cmd_line.h"
#include "zl/platform/process.h"

namespace {

using namespace zl::tools::cmd;
namespace platform = zl::platform;

bool IsProgramName(const std::string& name) { return !platform::FindProgram(name).empty(); }

std::string TrimLeft(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '@')) ++i;
  return text.substr(i);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The command's first word: the program or built-in to run.
std::string FirstWord(const std::string& text, std::size_t& end) {
  std::string word;
  std::size_t i = 0;
  if (!text.empty() && text[0] == '"') {
    const auto close = text.find('"', 1);
    word = text.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    end = close == std::string::npos ? text.size() : close + 1;
    return word;
  }
  while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '/' && text[i] != '"') word += text[i++];
  end = i;
  return word;
}

int RunCommand(const std::string& raw, bool& exitRequested) {
  const std::string text = TrimLeft(raw);
  std::size_t end = 0;
  const std::string word = FirstWord(text, end);
  const std::string rest = text.substr(end);
  const std::string name = Lower(word);
  if (name.empty()) return 0;
  if (name == "rem") return 0;
  if (name == "echo" || name == "echo.") {
    std::string message = rest.empty() ? std::string() : rest.substr(1);
    while (!message.empty() && message.back() == ' ') message.pop_back();
    std::printf("%s\r\n", name == "echo" && message.empty() ? "ECHO is on." : message.c_str());
    std::fflush(stdout);
    return 0;
  }
  if (name == "exit") {
    exitRequested = true;
    std::string args = TrimLeft(rest);
    if (Lower(args.substr(0, 2)) == "/b") args = TrimLeft(args.substr(2));
    return std::atoi(args.c_str());
  }
  const std::string program = platform::FindProgram(word);
  if (program.empty()) {
    std::printf("'%s' is not recognized as an internal or external command,\r\noperable program or batch file.\r\n",
                word.c_str());
    std::fflush(stdout);
    return 9009;
  }
  std::fflush(stdout);
  platform::ProcessHandle process;
  if (!platform::StartProgram(program, text, process)) return 9009;
  process.Wait(UINT32_MAX);
  std::int32_t code = -1;
  process.GetExitCode(code);
  return code;
}

}  // namespace

int main() {
  const Invocation invocation = ParseInvocation(platform::GetCommandLineText());
  if (!invocation.runAndExit) {
    std::printf("Microsoft Windows [Version 6.1.7601]\r\n");
    return 0;
  }
  const std::string line = ExpandVariables(ApplyQuoteRule(invocation, &IsProgramName));
  int errorLevel = 0;
  bool skip = false;
  Joiner previous = Joiner::None;
  for (const Command& command : SplitCommands(line)) {
    skip = (previous == Joiner::OnSuccess && errorLevel != 0) || (previous == Joiner::OnFailure && errorLevel == 0);
    if (!skip) {
      bool exitRequested = false;
      errorLevel = RunCommand(command.text, exitRequested);
      if (exitRequested) break;
    }
    previous = command.after;
  }
  return errorLevel;
}
