// The commands of zlmachine that change the machine.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "platform/emulated/native_names.h"
#include "zl/platform/files.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/process.h"
#include "zl/platform/service_manager.h"

namespace zl::tools::zlmachine {

namespace machine = platform::machine;
using platform::emulated::Utf8ToCp1252;

namespace {

int Failed(const std::string& what) {
  std::fprintf(stderr, "zlmachine: %s\n", what.c_str());
  return 1;
}

bool ParseMacArg(const std::string& text, std::vector<std::uint8_t>& mac) {
  if (machine::ParseMac(text, mac)) return true;
  Failed("not a MAC address: " + text);
  return false;
}

std::uint32_t StartService(const std::string& name) {
  platform::ServiceManagerHandle manager;
  std::uint32_t status = manager.Connect("", platform::kScManagerConnect);
  if (status != 0) return status;
  platform::ServiceHandle service;
  status = manager.OpenServiceByName(name, platform::kServiceStart | platform::kServiceQueryStatus, service);
  return status != 0 ? status : service.Start();
}

}  // namespace

int UsageError(const std::string& message) {
  std::fprintf(stderr, "zlmachine: %s (see zlmachine --help)\n", message.c_str());
  return 2;
}

int Create(const Args& args) {
  bool empty = false;
  std::string directory;
  for (const auto& arg : args) {
    if (arg == "--empty") {
      empty = true;
    } else {
      directory = arg;
    }
  }
  if (directory.empty() && std::getenv("ZEPHLINK_MACHINE")) directory = std::getenv("ZEPHLINK_MACHINE");
  if (directory.empty()) return UsageError("create needs a directory");
  char resolved[PATH_MAX];
  std::string programs = platform::emulated::NativePath(platform::ProgramFolder());
  if (realpath(programs.c_str(), resolved)) programs = resolved;
  if (!machine::CreateMachine(directory, programs, !empty)) return Failed("cannot create a machine in " + directory);
  std::printf("machine created in %s\n", directory.c_str());
  return 0;
}

int Adapter(const Args& args) {
  if (args.size() >= 4 && args[0] == "add") {
    machine::AdapterRecord adapter;
    adapter.connectionName = Utf8ToCp1252(args[1]);
    adapter.type = static_cast<std::uint32_t>(std::strtoul(args[2].c_str(), nullptr, 10));
    adapter.inAdapterList = adapter.type != machine::kAdapterTypePpp;
    adapter.description = adapter.type == machine::kAdapterTypeWireless ? "Wireless network adapter" : "Network adapter";
    if (!ParseMacArg(args[3], adapter.mac)) return 1;
    adapter.addresses.assign(args.begin() + 4, args.end());
    if (!machine::AddAdapter(adapter)) return Failed("cannot add the adapter");
    return 0;
  }
  if (args.size() == 2 && args[0] == "remove") return machine::RemoveAdapter(args[1]) ? 0 : Failed("no such adapter");
  return UsageError("adapter add NAME TYPE MAC [ADDRESS...] | adapter remove GUID");
}

int Client(const Args& args) {
  if (args.size() < 2) return UsageError("client add|remove|present|absent MAC ...");
  std::vector<std::uint8_t> mac;
  if (!ParseMacArg(args[1], mac)) return 1;
  if (args[0] == "add" && (args.size() == 3 || args.size() == 4)) {
    machine::ClientRecord client{mac, args[2], args.size() == 4 ? Utf8ToCp1252(args[3]) : "", true};
    return machine::SetClient(client) ? 0 : Failed("cannot add the client");
  }
  if (args[0] == "remove") return machine::RemoveClient(mac) ? 0 : Failed("no such client");
  if (args[0] == "present" || args[0] == "absent") {
    return machine::SetClientPresent(mac, args[0] == "present") ? 0 : Failed("no such client");
  }
  return UsageError("client add MAC ADDRESS [HOSTNAME] | client remove|present|absent MAC");
}

int Host(const Args& args) {
  if (args.size() == 3 && args[0] == "set") return machine::SetHostName(args[1], Utf8ToCp1252(args[2])) ? 0 : Failed("cannot set");
  if (args.size() == 2 && args[0] == "remove") return machine::RemoveHostName(args[1]) ? 0 : Failed("no such entry");
  return UsageError("host set ADDRESS NAME | host remove ADDRESS");
}

int Service(const Args& args) {
  if (args.size() != 2) return UsageError("service start|stop NAME");
  const std::string name = Utf8ToCp1252(args[1]);
  if (args[0] == "start") {
    const std::uint32_t status = StartService(name);
    return status == 0 ? 0 : Failed("cannot start " + args[1] + ": error " + std::to_string(status));
  }
  if (args[0] == "stop") {
    platform::ServiceManagerHandle manager;
    platform::ServiceHandle service;
    platform::ServiceStatus state;
    std::uint32_t status = manager.Connect("", platform::kScManagerConnect);
    if (status == 0) status = manager.OpenServiceByName(name, platform::kServiceStop | platform::kServiceQueryStatus, service);
    if (status == 0) status = service.Control(platform::kServiceControlStop, state);
    return status == 0 ? 0 : Failed("cannot stop " + args[1] + ": error " + std::to_string(status));
  }
  return UsageError("service start|stop NAME");
}

int Boot(const Args&) {
  int failures = 0;
  for (const auto& service : machine::ListServices()) {
    if (service.startType != platform::kServiceAutoStart || service.state != platform::kServiceStopped) continue;
    const std::uint32_t status = StartService(service.name);
    std::printf("%s: %s\n", platform::emulated::Cp1252ToUtf8(service.name).c_str(),
                status == 0 ? "started" : ("error " + std::to_string(status)).c_str());
    failures += status != 0;
  }
  return failures ? 1 : 0;
}

int Fault(const Args& args) {
  if (args.size() != 2) return UsageError("fault NAME VALUE");
  char* end = nullptr;
  const auto value = static_cast<std::uint32_t>(std::strtoul(args[1].c_str(), &end, 0));
  if (args[1].empty() || *end != '\0') {
    // A list of texts separated by ";" (a service's status script).
    std::vector<std::string> lines;
    std::string current;
    for (char c : args[1] + ";") {
      if (c == ';') {
        if (!current.empty()) lines.push_back(current);
        current.clear();
      } else {
        current += c;
      }
    }
    return machine::SetFaultText(args[0], lines) || lines.empty() ? 0 : Failed("cannot set the fault");
  }
  return machine::SetFault(args[0], value) || value == 0 ? 0 : Failed("cannot set the fault");
}

int Exec(const Args& args) {
  if (args.size() != 1) return UsageError("exec needs one argument: the Windows command line");
  const std::string line = Utf8ToCp1252(args[0]);
  const auto split = platform::SplitCommandLine(line);
  if (split.empty()) return UsageError("empty command line");
  // The parameters are the line after the program's name, as typed.
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i < line.size() && line[i] == '"') {
    i = line.find('"', i + 1);
    i = i == std::string::npos ? line.size() : i + 1;
  } else {
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
  }
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  platform::ProcessHandle process;
  std::fflush(stdout);
  if (!platform::ExecuteWithShell({"open", split[0], line.substr(i), "", platform::kShowNormal}, process)) {
    return Failed("the shell cannot run " + split[0]);
  }
  if (!process.IsValid()) return 0;
  process.Wait(UINT32_MAX);
  std::int32_t code = -1;
  process.GetExitCode(code);
  return code;
}

}  // namespace zl::tools::zlmachine
