#include "cmd_line.h"

#include <cctype>
#include <cstdlib>

namespace zl::tools::cmd {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }


}  // namespace

Invocation ParseInvocation(const std::string& commandLine) {
  Invocation invocation;
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  // The program's own name.
  while (i < n && IsBlank(commandLine[i])) ++i;
  if (i < n && commandLine[i] == '"') {
    const auto close = commandLine.find('"', i + 1);
    i = close == std::string::npos ? n : close + 1;
  } else {
    while (i < n && !IsBlank(commandLine[i]) && commandLine[i] != '/') ++i;
  }
  // Switches up to /c or /k; everything after that switch is the command.
  while (i < n) {
    while (i < n && IsBlank(commandLine[i])) ++i;
    if (i + 1 >= n || commandLine[i] != '/') break;
    const char sw = static_cast<char>(std::tolower(static_cast<unsigned char>(commandLine[i + 1])));
    i += 2;
    if (sw == 'c' || sw == 'k') {
      invocation.runAndExit = true;
      while (i < n && IsBlank(commandLine[i])) ++i;
      invocation.command = commandLine.substr(i);
      return invocation;
    }
    if (sw == 's') invocation.stripQuotesOnly = true;
    while (i < n && !IsBlank(commandLine[i]) && commandLine[i] != '/') ++i;  // the switch's argument, if any
  }
  return invocation;
}

std::string ApplyQuoteRule(const Invocation& invocation, bool (*isProgram)(const std::string&)) {
  const std::string& line = invocation.command;
  std::size_t quotes = 0;
  for (char c : line) quotes += c == '"';
  if (!invocation.stripQuotesOnly && quotes == 2) {
    const auto first = line.find('"');
    const auto second = line.find('"', first + 1);
    const std::string inside = line.substr(first + 1, second - first - 1);
    bool special = false, blank = false;
    for (char c : inside) {
      special |= std::string("&<>()@^|").find(c) != std::string::npos;
      blank |= IsBlank(c);
    }
    if (!special && blank && isProgram(inside)) return line;
  }
  if (!line.empty() && line[0] == '"') {
    const auto last = line.rfind('"');
    if (last == 0) return line.substr(1);
    return line.substr(1, last - 1) + line.substr(last + 1);
  }
  return line;
}

std::string ExpandVariables(const std::string& line) {
  std::string out;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == '%') {
      const auto close = line.find('%', i + 1);
      if (close != std::string::npos && close > i + 1) {
        const std::string name = line.substr(i + 1, close - i - 1);
        if (const char* value = std::getenv(name.c_str())) {
          out += value;
          i = close + 1;
          continue;
        }
      }
    }
    out += line[i++];
  }
  return out;
}

std::vector<Command> SplitCommands(const std::string& line) {
  std::vector<Command> commands(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
      commands.back().text += c;
    } else if (!quoted && c == '^' && i + 1 < line.size()) {
      commands.back().text += line[++i];
    } else if (!quoted && (c == '&' || c == '|')) {
      const bool doubled = i + 1 < line.size() && line[i + 1] == c;
      commands.back().after = c == '&' ? (doubled ? Joiner::OnSuccess : Joiner::Always)
                                       : (doubled ? Joiner::OnFailure : Joiner::Pipe);
      if (doubled) ++i;
      commands.emplace_back();
    } else {
      commands.back().text += c;
    }
  }
  return commands;
}

}  // namespace zl::tools::cmd
