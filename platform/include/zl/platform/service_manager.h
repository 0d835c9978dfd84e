// The service control manager: connecting, opening, creating, starting,
// querying, controlling and deleting services. Every call returns a platform
// error number (errors.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zl::platform {

// Access rights.
inline constexpr std::uint32_t kScManagerConnect = 0x0001;
inline constexpr std::uint32_t kScManagerCreateService = 0x0002;
inline constexpr std::uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr std::uint32_t kServiceQueryStatus = 0x0004;
inline constexpr std::uint32_t kServiceStart = 0x0010;
inline constexpr std::uint32_t kServiceStop = 0x0020;
inline constexpr std::uint32_t kServiceDelete = 0x10000;
inline constexpr std::uint32_t kServiceAllAccess = 0xF01FF;

// States.
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;
inline constexpr std::uint32_t kServiceContinuePending = 5;
inline constexpr std::uint32_t kServicePausePending = 6;
inline constexpr std::uint32_t kServicePaused = 7;

// Controls, and the controls a service accepts.
inline constexpr std::uint32_t kServiceControlStop = 1;
inline constexpr std::uint32_t kServiceControlPause = 2;
inline constexpr std::uint32_t kServiceControlContinue = 3;
inline constexpr std::uint32_t kServiceControlInterrogate = 4;
inline constexpr std::uint32_t kServiceAcceptStop = 1;
inline constexpr std::uint32_t kServiceAcceptPauseContinue = 2;

inline constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;
inline constexpr std::uint32_t kServiceAutoStart = 2;
inline constexpr std::uint32_t kServiceDemandStart = 3;
inline constexpr std::uint32_t kServiceDisabled = 4;
inline constexpr std::uint32_t kServiceErrorNormal = 1;

struct ServiceStatus {
  std::uint32_t serviceType = kServiceWin32OwnProcess;
  std::uint32_t currentState = 0;
  std::uint32_t controlsAccepted = 0;
  std::uint32_t win32ExitCode = 0;
  std::uint32_t serviceSpecificExitCode = 0;
  std::uint32_t checkPoint = 0;
  std::uint32_t waitHint = 0;
};

struct ServiceConfig {
  std::string name;
  std::string displayName;
  std::uint32_t serviceType = kServiceWin32OwnProcess;
  std::uint32_t startType = kServiceAutoStart;
  std::uint32_t errorControl = kServiceErrorNormal;
  std::string binaryPath;  // the command line: program path, optionally with arguments
};

class ServiceHandle {
 public:
  ServiceHandle();
  ~ServiceHandle();
  ServiceHandle(ServiceHandle&&) noexcept;
  ServiceHandle& operator=(ServiceHandle&&) noexcept;

  bool IsOpen() const;
  void Close();
  std::uint32_t Start();
  std::uint32_t QueryStatus(ServiceStatus& status) const;
  std::uint32_t Control(std::uint32_t control, ServiceStatus& status);
  std::uint32_t Delete();

 private:
  friend class ServiceManagerHandle;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class ServiceManagerHandle {
 public:
  ServiceManagerHandle();
  ~ServiceManagerHandle();
  ServiceManagerHandle(ServiceManagerHandle&&) noexcept;
  ServiceManagerHandle& operator=(ServiceManagerHandle&&) noexcept;

  // OpenSCManager; an empty machine name is the local machine.
  std::uint32_t Connect(const std::string& machineName, std::uint32_t access);
  bool IsOpen() const;
  void Close();
  std::uint32_t OpenServiceByName(const std::string& name, std::uint32_t access, ServiceHandle& service) const;
  std::uint32_t RegisterService(const ServiceConfig& config, std::uint32_t access, ServiceHandle& service) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zl::platform
