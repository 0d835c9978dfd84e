#include "zl/platform/service_manager.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "machine_keys.h"
#include "native_names.h"
#include "service_runtime.h"
#include "spawn.h"
#include "zl/platform/errors.h"
#include "zl/platform/machine_state.h"
#include "zl/platform/process.h"
#include "zl/platform/registry.h"
#include "zl/platform/security.h"

namespace zl::platform {

using emulated::Hive;
using emulated::HiveKey;
using emulated::RuntimeRecord;

namespace {

// How long StartService waits for the started process to connect and leave
// its first start-pending state, as the platform waits for a service's
// dispatcher; real time, since it waits on a process.
constexpr auto kConnectLimit = std::chrono::seconds(30);

std::string ServiceKeyPath(const std::string& name) { return emulated::kServicesKey + "\\" + name; }

const HiveKey* FindService(const Hive& hive, const std::string& name) {
  const HiveKey* key = hive.Root().Find(ServiceKeyPath(name));
  return key && key->Value("ImagePath") ? key : nullptr;
}

bool IsLocalMachine(const std::string& machineName) {
  std::string name = machineName;
  while (!name.empty() && name[0] == '\\') name.erase(0, 1);
  if (name.empty()) return true;
  std::string computer;
  emulated::ReadMachine([&](const Hive& hive) {
    if (const HiveKey* key = hive.Root().Find("SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName")) {
      computer = key->String("ComputerName");
    }
  });
  const std::string folded = emulated::FoldCase(name);
  return folded == "localhost" || folded == "127.0.0.1" || (!computer.empty() && folded == emulated::FoldCase(computer));
}

bool ProcessIsAdministrator() {
  AccessToken token;
  if (token.OpenProcessToken() != kErrorSuccess) return false;
  std::vector<SecurityIdentifier> groups;
  if (token.QueryGroups(groups) != kErrorSuccess) return false;
  for (const auto& sid : groups) {
    if (sid == SecurityIdentifier{5, {32, 544}}) return true;
  }
  return false;
}

// The next state of a scripted service: entries "state,checkpoint,waithint",
// one per query, the last one repeating.
bool NextScriptedStatus(Hive& hive, const std::string& name, ServiceStatus& status) {
  const auto script = emulated::FaultText(hive, "Services\\" + name + "\\StatusScript");
  if (script.empty()) return false;
  HiveKey& runtime = hive.Root().FindOrCreate(emulated::RuntimeKeyPath(name));
  const std::uint32_t position = runtime.Dword("ScriptPosition");
  const std::string& entry = script[std::min<std::size_t>(position, script.size() - 1)];
  unsigned state = kServiceStopped, checkpoint = 0, waitHint = 0;
  std::sscanf(entry.c_str(), "%u,%u,%u", &state, &checkpoint, &waitHint);
  status = ServiceStatus{};
  status.currentState = state;
  status.checkPoint = checkpoint;
  status.waitHint = waitHint;
  status.controlsAccepted = state == kServiceRunning ? kServiceAcceptStop : 0;
  runtime.SetDword("ScriptPosition", position + 1);
  runtime.SetDword("State", state);
  return true;
}

std::uint32_t SendControl(const std::string& name, std::uint32_t control) {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kErrorServiceRequestTimeout;
  socklen_t length = 0;
  const sockaddr_un address = emulated::ControlAddress(name, length);
  const std::string message = std::to_string(control);
  const ssize_t sent = sendto(fd, message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&address), length);
  close(fd);
  return sent == static_cast<ssize_t>(message.size()) ? kErrorSuccess : kErrorServiceRequestTimeout;
}

// The process side of ImagePath: the program and its command line.
bool ImageOf(const std::string& imagePath, std::string& program) {
  const auto args = SplitCommandLine(imagePath);
  if (args.empty()) return false;
  program = emulated::NativePath(args[0]);
  return access(program.c_str(), X_OK) == 0;
}

}  // namespace

// ---------------------------------------------------------------- services

struct ServiceHandle::Impl {
  std::string name;
  std::uint32_t access = 0;
};

ServiceHandle::ServiceHandle() = default;
ServiceHandle::~ServiceHandle() = default;
ServiceHandle::ServiceHandle(ServiceHandle&&) noexcept = default;
ServiceHandle& ServiceHandle::operator=(ServiceHandle&&) noexcept = default;

bool ServiceHandle::IsOpen() const { return impl_ != nullptr; }
void ServiceHandle::Close() { impl_.reset(); }

std::uint32_t ServiceHandle::QueryStatus(ServiceStatus& status) const {
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kServiceQueryStatus)) return kErrorAccessDenied;
  std::uint32_t result = kErrorSuccess;
  bool scripted = false;
  const std::uint32_t store = emulated::UpdateMachine([&](Hive& hive) {
    if (!FindService(hive, impl_->name)) {
      result = kErrorServiceDoesNotExist;
      return false;
    }
    const RuntimeRecord record = emulated::ReadRuntime(hive, impl_->name);
    if (record.scripted && NextScriptedStatus(hive, impl_->name, status)) {
      scripted = true;
      return true;
    }
    status = emulated::EffectiveStatus(record);
    return false;
  });
  if (store == kErrorAccessDenied && !scripted) {
    // A process that may not write the store still reads the status.
    result = kErrorSuccess;
    emulated::ReadMachine([&](const Hive& hive) {
      if (!FindService(hive, impl_->name)) {
        result = kErrorServiceDoesNotExist;
        return;
      }
      status = emulated::EffectiveStatus(emulated::ReadRuntime(hive, impl_->name));
    });
    return result;
  }
  return store != kErrorSuccess ? store : result;
}

std::uint32_t ServiceHandle::Start() {
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kServiceStart)) return kErrorAccessDenied;
  std::uint32_t result = kErrorSuccess;
  std::string imagePath;
  bool spawn = false;
  const std::uint32_t store = emulated::UpdateMachine([&](Hive& hive) {
    const HiveKey* service = FindService(hive, impl_->name);
    if (!service) {
      result = kErrorServiceDoesNotExist;
      return false;
    }
    if (const std::uint32_t injected = emulated::Fault(hive, "Services\\" + impl_->name + "\\StartError")) {
      result = injected;
      return false;
    }
    RuntimeRecord record = emulated::ReadRuntime(hive, impl_->name);
    if (emulated::EffectiveStatus(record).currentState != kServiceStopped) {
      result = kErrorServiceAlreadyRunning;
      return false;
    }
    if (service->Dword("Start", kServiceDemandStart) == kServiceDisabled) {
      result = kErrorServiceDisabled;
      return false;
    }
    record = RuntimeRecord{};
    record.status.currentState = kServiceStartPending;
    record.status.waitHint = 2000;
    if (!emulated::FaultText(hive, "Services\\" + impl_->name + "\\StatusScript").empty()) {
      // A scripted service has no process: its states come from the script.
      record.scripted = true;
      emulated::WriteRuntime(hive, impl_->name, record);
      hive.Root().FindOrCreate(emulated::RuntimeKeyPath(impl_->name)).SetDword("ScriptPosition", 0);
      return true;
    }
    imagePath = service->String("ImagePath");
    emulated::WriteRuntime(hive, impl_->name, record);
    spawn = true;
    return true;
  });
  if (store != kErrorSuccess) return store;
  if (result != kErrorSuccess || !spawn) return result;

  std::string program;
  if (!ImageOf(imagePath, program)) {
    emulated::UpdateMachine([&](Hive& hive) {
      HiveKey* status = hive.Root().Find(emulated::kServiceStatusKey);
      return status && status->DeleteSubKey(impl_->name);
    });
    return kErrorFileNotFound;
  }
  const std::string logFolder = emulated::MachineDirectory() + "/Services";
  mkdir(logFolder.c_str(), 0777);
  const int logFd = open((logFolder + "/" + impl_->name + ".log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  const pid_t pid = emulated::SpawnProgram(
      program, imagePath,
      {"", logFd, {std::string(emulated::kServiceNameVariable) + "=" + emulated::Cp1252ToUtf8(impl_->name)}, true});
  if (logFd >= 0) close(logFd);
  if (pid <= 0) return kErrorServiceRequestTimeout;
  const std::string startTime = emulated::ProcessStartTime(pid);
  emulated::UpdateMachine([&](Hive& hive) {
    RuntimeRecord record = emulated::ReadRuntime(hive, impl_->name);
    if (record.pid == 0) {
      record.pid = pid;
      record.startTime = startTime;
      emulated::WriteRuntime(hive, impl_->name, record);
    }
    return true;
  });

  // Wait for the process to connect as the service and leave its first
  // start-pending state, or to die.
  const auto deadline = std::chrono::steady_clock::now() + kConnectLimit;
  for (;;) {
    RuntimeRecord record;
    emulated::ReadMachine([&](const Hive& hive) { record = emulated::ReadRuntime(hive, impl_->name); });
    const bool alive = emulated::ProcessStartTime(pid) == startTime && !startTime.empty();
    if (record.connected && (record.status.currentState != kServiceStartPending || !alive)) return kErrorSuccess;
    if (!alive) return record.connected ? kErrorSuccess : kErrorServiceRequestTimeout;
    if (std::chrono::steady_clock::now() >= deadline) return record.connected ? kErrorSuccess : kErrorServiceRequestTimeout;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

std::uint32_t ServiceHandle::Control(std::uint32_t control, ServiceStatus& status) {
  if (!impl_) return kErrorInvalidHandle;
  if (control == kServiceControlStop && !(impl_->access & kServiceStop)) return kErrorAccessDenied;
  RuntimeRecord record;
  bool exists = false;
  emulated::ReadMachine([&](const Hive& hive) {
    exists = FindService(hive, impl_->name) != nullptr;
    record = emulated::ReadRuntime(hive, impl_->name);
  });
  if (!exists) return kErrorServiceDoesNotExist;
  status = emulated::EffectiveStatus(record);
  if (status.currentState == kServiceStopped) return kErrorServiceNotActive;
  if (control == kServiceControlInterrogate) return kErrorSuccess;
  if (record.scripted) {
    if (control != kServiceControlStop) return kErrorInvalidServiceControl;
    emulated::UpdateMachine([&](Hive& hive) {
      RuntimeRecord stopped;
      stopped.status.currentState = kServiceStopped;
      emulated::WriteRuntime(hive, impl_->name, stopped);
      return true;
    });
    status.currentState = kServiceStopped;
    return kErrorSuccess;
  }
  const bool accepted = control == kServiceControlStop ? (status.controlsAccepted & kServiceAcceptStop) != 0
                                                       : (status.controlsAccepted & kServiceAcceptPauseContinue) != 0;
  if (!accepted) return kErrorInvalidServiceControl;
  return SendControl(impl_->name, control);
}

std::uint32_t ServiceHandle::Delete() {
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kServiceDelete)) return kErrorAccessDenied;
  std::uint32_t result = kErrorSuccess;
  const std::uint32_t store = emulated::UpdateMachine([&](Hive& hive) {
    if (emulated::Fault(hive, "RegistryReadOnly") != 0) {
      result = kErrorAccessDenied;
      return false;
    }
    HiveKey* services = hive.Root().Find(emulated::kServicesKey);
    if (!services || !FindService(hive, impl_->name)) {
      result = kErrorServiceMarkedForDelete;
      return false;
    }
    services->DeleteSubKey(impl_->name);
    return true;
  });
  return store != kErrorSuccess ? store : result;
}

// ----------------------------------------------------------------- manager

struct ServiceManagerHandle::Impl {
  std::uint32_t access = 0;
};

ServiceManagerHandle::ServiceManagerHandle() = default;
ServiceManagerHandle::~ServiceManagerHandle() = default;
ServiceManagerHandle::ServiceManagerHandle(ServiceManagerHandle&&) noexcept = default;
ServiceManagerHandle& ServiceManagerHandle::operator=(ServiceManagerHandle&&) noexcept = default;

bool ServiceManagerHandle::IsOpen() const { return impl_ != nullptr; }
void ServiceManagerHandle::Close() { impl_.reset(); }

std::uint32_t ServiceManagerHandle::Connect(const std::string& machineName, std::uint32_t access) {
  Close();
  if (emulated::MachineDirectory().empty() || !IsLocalMachine(machineName)) return kErrorRpcServerUnavailable;
  // Only administrators may change the service database.
  if ((access & ~(kScManagerConnect | 0x0004 | 0x0010 | 0x20000)) != 0 && !ProcessIsAdministrator()) {
    return kErrorAccessDenied;
  }
  impl_ = std::make_unique<Impl>(Impl{access});
  return kErrorSuccess;
}

std::uint32_t ServiceManagerHandle::OpenServiceByName(const std::string& name, std::uint32_t access, ServiceHandle& service) const {
  service.Close();
  if (!impl_) return kErrorInvalidHandle;
  if ((access & (kServiceStart | kServiceStop | kServiceDelete)) != 0 && !ProcessIsAdministrator()) return kErrorAccessDenied;
  bool exists = false;
  std::string storedName = name;
  emulated::ReadMachine([&](const Hive& hive) {
    if (const HiveKey* key = FindService(hive, name)) {
      exists = true;
      storedName = key->Name();
    }
  });
  if (!exists) return kErrorServiceDoesNotExist;
  service.impl_ = std::make_unique<ServiceHandle::Impl>(ServiceHandle::Impl{storedName, access});
  return kErrorSuccess;
}

std::uint32_t ServiceManagerHandle::RegisterService(const ServiceConfig& config, std::uint32_t access,
                                                  ServiceHandle& service) const {
  service.Close();
  if (!impl_) return kErrorInvalidHandle;
  if (!(impl_->access & kScManagerCreateService)) return kErrorAccessDenied;
  if (config.name.empty() || config.name.find('\\') != std::string::npos) return kErrorInvalidParameter;
  std::uint32_t result = kErrorSuccess;
  const std::uint32_t store = emulated::UpdateMachine([&](Hive& hive) {
    if (emulated::Fault(hive, "RegistryReadOnly") != 0) {
      result = kErrorAccessDenied;
      return false;
    }
    if (FindService(hive, config.name)) {
      result = kErrorServiceExists;
      return false;
    }
    HiveKey& key = hive.Root().FindOrCreate(ServiceKeyPath(config.name));
    key.SetDword("Type", config.serviceType);
    key.SetDword("Start", config.startType);
    key.SetDword("ErrorControl", config.errorControl);
    key.SetValue("ImagePath", kRegExpandSz, MakeStringValue(config.binaryPath, kRegExpandSz).data);
    key.SetString("DisplayName", config.displayName.empty() ? config.name : config.displayName);
    key.SetString("ObjectName", "LocalSystem");
    HiveKey* status = hive.Root().Find(emulated::kServiceStatusKey);
    if (status) status->DeleteSubKey(config.name);
    return true;
  });
  if (store != kErrorSuccess) return store;
  if (result != kErrorSuccess) return result;
  service.impl_ = std::make_unique<ServiceHandle::Impl>(ServiceHandle::Impl{config.name, access});
  return kErrorSuccess;
}

}  // namespace zl::platform

namespace zl::platform::machine {

std::vector<ServiceRecord> ListServices() {
  std::vector<ServiceRecord> services;
  emulated::ReadMachine([&](const Hive& hive) {
    const HiveKey* root = hive.Root().Find(emulated::kServicesKey);
    if (!root) return;
    for (HiveKey* key : const_cast<HiveKey*>(root)->SubKeys()) {
      if (!key->Value("ImagePath")) continue;
      ServiceRecord record;
      record.name = key->Name();
      record.displayName = key->String("DisplayName");
      record.imagePath = key->String("ImagePath");
      record.startType = key->Dword("Start", kServiceDemandStart);
      const RuntimeRecord runtime = emulated::ReadRuntime(hive, record.name);
      record.state = emulated::EffectiveStatus(runtime).currentState;
      record.pid = record.state == kServiceStopped ? 0 : runtime.pid;
      services.push_back(record);
    }
  });
  return services;
}

}  // namespace zl::platform::machine
