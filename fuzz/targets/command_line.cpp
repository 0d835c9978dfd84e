// Command lines as the machine's programs read them: the argument split every
// program uses (CommandLineToArgv rules, netsh's arguments), and the command
// interpreter's switches, quote rule of "/c", variables and command split.
//
// Checked: arguments quoted back by the usual rules split again into the same
// arguments; the quote rule only removes quotes; the command split loses no
// character but the operators and escape carets, and every command but the
// last ends at an operator.
#include <cstdint>
#include <string>
#include <vector>

#include "cmd/cmd_line.h"
#include "fuzz/fuzz_support.h"
#include "zl/platform/process.h"

namespace {

namespace cmd = zl::tools::cmd;

// The quoting that makes an argument survive the split unchanged.
std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  std::size_t slashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    if (c == '"') {
      out.append(2 * slashes + 1, '\\');
    } else {
      out.append(slashes, '\\');
    }
    slashes = 0;
    out += c;
  }
  out.append(2 * slashes, '\\');
  out += '"';
  return out;
}

bool IsNetsh(const std::string& name) { return name == "netsh" || name == "C:\\Windows\\System32\\netsh.exe"; }

std::size_t Count(const std::string& text, char c) {
  std::size_t n = 0;
  for (const char x : text) n += x == c;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);

  const std::vector<std::string> args = zl::platform::SplitCommandLine(line);
  ZL_FUZZ_CHECK(args.size() <= size / 2 + 1);
  if (!args.empty()) {
    std::string rebuilt = "program";
    for (std::size_t i = 1; i < args.size(); ++i) rebuilt += " " + QuoteArgument(args[i]);
    std::vector<std::string> again = zl::platform::SplitCommandLine(rebuilt);
    ZL_FUZZ_CHECK(!again.empty() && again[0] == "program");
    again[0] = args[0];
    ZL_FUZZ_CHECK(again == args);
  }

  const cmd::Invocation invocation = cmd::ParseInvocation(line);
  ZL_FUZZ_CHECK(invocation.command.size() <= size);
  ZL_FUZZ_CHECK(line.ends_with(invocation.command));
  ZL_FUZZ_CHECK(invocation.runAndExit || invocation.command.empty());
  const std::string unquoted = cmd::ApplyQuoteRule(invocation, IsNetsh);
  const std::size_t quotes = Count(invocation.command, '"');
  ZL_FUZZ_CHECK(unquoted.size() + 2 >= invocation.command.size() && unquoted.size() <= invocation.command.size());
  ZL_FUZZ_CHECK(Count(unquoted, '"') + (invocation.command.size() - unquoted.size()) == quotes);

  if (line.find('%') == std::string::npos) ZL_FUZZ_CHECK(cmd::ExpandVariables(line) == line);

  const std::vector<cmd::Command> commands = cmd::SplitCommands(unquoted);
  ZL_FUZZ_CHECK(!commands.empty() && commands.back().after == cmd::Joiner::None);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    kept += commands[i].text.size();
    if (i + 1 < commands.size()) ZL_FUZZ_CHECK(commands[i].after != cmd::Joiner::None);
  }
  const std::size_t operators = commands.size() - 1;
  ZL_FUZZ_CHECK(kept + operators <= unquoted.size() && unquoted.size() <= kept + 2 * operators + Count(unquoted, '^'));
  return 0;
}
