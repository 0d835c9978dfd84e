// The command line as Windows hands it to a program. A process started by
// the emulated shell receives the exact text in its environment, marked with
// the image it was meant for, so that a program started from a Linux shell
// does not take over its parent's line.
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "native_names.h"
#include "zl/platform/process.h"

namespace zl::platform {
namespace {

std::string ReadProcSelf(const char* name) {
  std::string bytes;
  const int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  char chunk[4096];
  ssize_t n;
  while ((n = read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<std::size_t>(n));
  close(fd);
  return bytes;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

}  // namespace

std::string GetCommandLineText() {
  const char* line = std::getenv("ZEPHLINK_COMMAND_LINE");
  const char* image = std::getenv("ZEPHLINK_COMMAND_LINE_IMAGE");
  if (line && image && RealPath(image) == RealPath("/proc/self/exe")) return emulated::Utf8ToCp1252(line);
  // Started from a Linux shell, which has taken the quotes away: the
  // arguments are joined with blanks, and one that holds blanks but no quote
  // of its own is put back in quotes. So `cmd.exe /c "netsh ..."` typed in a
  // Linux shell gives the line it gives on Windows, and an argument that
  // carries its own quotes (a whole Windows line in single quotes) is taken
  // as it stands.
  const std::string raw = ReadProcSelf("/proc/self/cmdline");
  std::string text;
  std::size_t start = 0;
  bool first = true;
  while (start < raw.size()) {
    std::size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    const std::string arg = raw.substr(start, end - start);
    if (first) {
      // The program's name with "\" separators, as Windows would show it.
      const std::string name = emulated::ProgramPath(arg);
      text = name.find(' ') == std::string::npos ? name : "\"" + name + "\"";
      first = false;
    } else {
      const bool blank = arg.find_first_of(" \t") != std::string::npos;
      const bool quoted = arg.find('"') != std::string::npos;
      text += " " + (blank && !quoted ? "\"" + emulated::Utf8ToCp1252(arg) + "\"" : emulated::Utf8ToCp1252(arg));
    }
    start = end + 1;
  }
  return text;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (i < n && isBlank(commandLine[i])) ++i;
  if (i >= n) return args;

  // The program's name: quoted up to the next quote, else up to a blank;
  // backslashes are taken literally.
  std::string name;
  if (commandLine[i] == '"') {
    ++i;
    while (i < n && commandLine[i] != '"') name += commandLine[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !isBlank(commandLine[i])) name += commandLine[i++];
  }
  args.push_back(name);

  for (;;) {
    while (i < n && isBlank(commandLine[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !isBlank(commandLine[i]))) {
      if (commandLine[i] == '\\') {
        std::size_t slashes = 0;
        while (i < n && commandLine[i] == '\\') {
          ++slashes;
          ++i;
        }
        if (i < n && commandLine[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(slashes, '\\');
        }
      } else if (commandLine[i] == '"') {
        if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
          arg += '"';  // a doubled quote inside quotes is a literal one
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += commandLine[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

std::string ProgramFile() {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return emulated::ProgramPath(std::string(buffer, static_cast<std::size_t>(n)));
}

}  // namespace zl::platform
