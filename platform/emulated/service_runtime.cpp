#include "service_runtime.h"

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "machine_keys.h"
#include "zl/platform/errors.h"

namespace zl::platform::emulated {

std::string ProcessStartTime(pid_t pid) {
  if (pid <= 0) return {};
  const int fd = open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char buffer[1024];
  const ssize_t n = read(fd, buffer, sizeof buffer - 1);
  close(fd);
  if (n <= 0) return {};
  const std::string stat(buffer, static_cast<std::size_t>(n));
  // Fields after the command name, which is in parentheses and may hold blanks.
  const auto close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return {};
  std::string rest = stat.substr(close + 2);
  if (rest[0] == 'Z' || rest[0] == 'X') return {};
  // Field 22 (starttime) is the 20th after the name.
  std::size_t pos = 0;
  for (int field = 0; field < 19 && pos != std::string::npos; ++field) pos = rest.find(' ', pos + 1);
  if (pos == std::string::npos) return {};
  const auto end = rest.find(' ', pos + 1);
  return rest.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
}

std::string RuntimeKeyPath(const std::string& service) { return kServiceStatusKey + "\\" + service; }

RuntimeRecord ReadRuntime(const Hive& hive, const std::string& service) {
  RuntimeRecord record;
  record.status.currentState = kServiceStopped;
  const HiveKey* key = hive.Root().Find(RuntimeKeyPath(service));
  if (!key) return record;
  record.status.currentState = key->Dword("State", kServiceStopped);
  record.status.checkPoint = key->Dword("CheckPoint");
  record.status.waitHint = key->Dword("WaitHint");
  record.status.controlsAccepted = key->Dword("ControlsAccepted");
  record.status.win32ExitCode = key->Dword("ExitCode");
  record.status.serviceSpecificExitCode = key->Dword("SpecificExitCode");
  record.pid = key->Dword("Pid");
  record.startTime = key->String("StartTime");
  record.connected = key->Dword("Connected") != 0;
  record.scripted = key->Dword("Scripted") != 0;
  return record;
}

void WriteRuntime(Hive& hive, const std::string& service, const RuntimeRecord& record) {
  HiveKey& key = hive.Root().FindOrCreate(RuntimeKeyPath(service));
  key.SetDword("State", record.status.currentState);
  key.SetDword("CheckPoint", record.status.checkPoint);
  key.SetDword("WaitHint", record.status.waitHint);
  key.SetDword("ControlsAccepted", record.status.controlsAccepted);
  key.SetDword("ExitCode", record.status.win32ExitCode);
  key.SetDword("SpecificExitCode", record.status.serviceSpecificExitCode);
  key.SetDword("Pid", static_cast<std::uint32_t>(record.pid));
  key.SetString("StartTime", record.startTime);
  key.SetDword("Connected", record.connected ? 1 : 0);
  key.SetDword("Scripted", record.scripted ? 1 : 0);
}

ServiceStatus EffectiveStatus(const RuntimeRecord& record) {
  ServiceStatus status = record.status;
  if (record.scripted || status.currentState == kServiceStopped) return status;
  const bool alive = record.pid > 0 && ProcessStartTime(static_cast<pid_t>(record.pid)) == record.startTime &&
                     !record.startTime.empty();
  if (!alive) {
    status = ServiceStatus{};
    status.currentState = kServiceStopped;
    status.win32ExitCode = 1067;  // ERROR_PROCESS_ABORTED: it ended without reporting
  }
  return status;
}

sockaddr_un ControlAddress(const std::string& service, socklen_t& length) {
  char resolved[PATH_MAX];
  const std::string dir = MachineDirectory();
  const std::string machine = realpath(dir.c_str(), resolved) ? resolved : dir;
  const std::string name = "zephlink-svc:" + std::to_string(std::hash<std::string>{}(machine)) + ":" + FoldCase(service);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // Abstract namespace: leading zero byte, no file left behind.
  const std::size_t size = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), size);
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
  return address;
}

}  // namespace zl::platform::emulated
