// How the command interpreter reads "/c <line>": its switches, the rule for
// the quotes around the line, and the line's split into commands.
#pragma once

#include <string>
#include <vector>

namespace zl::tools::cmd {

struct Invocation {
  bool runAndExit = false;  // /c (or /k, which this interpreter treats alike)
  bool stripQuotesOnly = false;  // /s
  std::string command;      // the text after the switch, quotes not yet handled
};

// The interpreter's own command line, program name included.
Invocation ParseInvocation(const std::string& commandLine);

// The quote rule of "/c": a line that is one quoted program name keeps its
// quotes; otherwise a leading quote and the last quote of the line go.
std::string ApplyQuoteRule(const Invocation& invocation, bool (*isProgram)(const std::string&));

// %NAME% replaced by the environment variable's value; unknown names stay.
std::string ExpandVariables(const std::string& line);

enum class Joiner { None, Always, OnSuccess, OnFailure, Pipe };

struct Command {
  std::string text;  // with "^" escapes resolved outside quotes
  Joiner after = Joiner::None;  // how the next command follows
};

// Splits at "&", "&&", "||" and "|" outside quotes.
std::vector<Command> SplitCommands(const std::string& line);

}  // namespace zl::tools::cmd
