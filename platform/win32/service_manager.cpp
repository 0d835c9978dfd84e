// The service control manager through advapi32's wide calls.
#include "zl/platform/service_manager.h"

#include <windows.h>

#include "text.h"
#include "zl/platform/errors.h"

namespace zl::platform {

using win32::Widen;

namespace {

ServiceStatus FromNative(const SERVICE_STATUS& native) {
  ServiceStatus status;
  status.serviceType = native.dwServiceType;
  status.currentState = native.dwCurrentState;
  status.controlsAccepted = native.dwControlsAccepted;
  status.win32ExitCode = native.dwWin32ExitCode;
  status.serviceSpecificExitCode = native.dwServiceSpecificExitCode;
  status.checkPoint = native.dwCheckPoint;
  status.waitHint = native.dwWaitHint;
  return status;
}

std::uint32_t Result(BOOL ok) { return ok ? kErrorSuccess : GetLastError(); }

}  // namespace

struct ServiceHandle::Impl {
  SC_HANDLE handle = nullptr;
};

ServiceHandle::ServiceHandle() : impl_(std::make_unique<Impl>()) {}
ServiceHandle::~ServiceHandle() { Close(); }
ServiceHandle::ServiceHandle(ServiceHandle&&) noexcept = default;
ServiceHandle& ServiceHandle::operator=(ServiceHandle&& other) noexcept {
  if (this != &other) {
    Close();
    impl_ = std::move(other.impl_);
  }
  return *this;
}

bool ServiceHandle::IsOpen() const { return impl_ && impl_->handle != nullptr; }

void ServiceHandle::Close() {
  if (IsOpen()) {
    CloseServiceHandle(impl_->handle);
    impl_->handle = nullptr;
  }
}

std::uint32_t ServiceHandle::Start() {
  if (!IsOpen()) return kErrorInvalidHandle;
  return Result(StartServiceW(impl_->handle, 0, nullptr));
}

std::uint32_t ServiceHandle::QueryStatus(ServiceStatus& status) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  SERVICE_STATUS native{};
  if (!QueryServiceStatus(impl_->handle, &native)) return GetLastError();
  status = FromNative(native);
  return kErrorSuccess;
}

std::uint32_t ServiceHandle::Control(std::uint32_t control, ServiceStatus& status) {
  if (!IsOpen()) return kErrorInvalidHandle;
  SERVICE_STATUS native{};
  const BOOL ok = ControlService(impl_->handle, control, &native);
  // The status is filled in for several failures too (ERROR_SERVICE_CANNOT_ACCEPT_CTRL ...).
  status = FromNative(native);
  return Result(ok);
}

std::uint32_t ServiceHandle::Delete() {
  if (!IsOpen()) return kErrorInvalidHandle;
  return Result(DeleteService(impl_->handle));
}

struct ServiceManagerHandle::Impl {
  SC_HANDLE handle = nullptr;
};

ServiceManagerHandle::ServiceManagerHandle() : impl_(std::make_unique<Impl>()) {}
ServiceManagerHandle::~ServiceManagerHandle() { Close(); }
ServiceManagerHandle::ServiceManagerHandle(ServiceManagerHandle&&) noexcept = default;
ServiceManagerHandle& ServiceManagerHandle::operator=(ServiceManagerHandle&& other) noexcept {
  if (this != &other) {
    Close();
    impl_ = std::move(other.impl_);
  }
  return *this;
}

std::uint32_t ServiceManagerHandle::Connect(const std::string& machineName, std::uint32_t access) {
  Close();
  if (!impl_) impl_ = std::make_unique<Impl>();
  const std::wstring machine = Widen(machineName);
  impl_->handle = OpenSCManagerW(machine.empty() ? nullptr : machine.c_str(), nullptr, access);
  return impl_->handle != nullptr ? kErrorSuccess : GetLastError();
}

bool ServiceManagerHandle::IsOpen() const { return impl_ && impl_->handle != nullptr; }

void ServiceManagerHandle::Close() {
  if (IsOpen()) {
    CloseServiceHandle(impl_->handle);
    impl_->handle = nullptr;
  }
}

std::uint32_t ServiceManagerHandle::OpenServiceByName(const std::string& name, std::uint32_t access,
                                                      ServiceHandle& service) const {
  service.Close();
  if (!IsOpen()) return kErrorInvalidHandle;
  if (!service.impl_) service.impl_ = std::make_unique<ServiceHandle::Impl>();
  service.impl_->handle = OpenServiceW(impl_->handle, Widen(name).c_str(), access);
  return service.impl_->handle != nullptr ? kErrorSuccess : GetLastError();
}

std::uint32_t ServiceManagerHandle::RegisterService(const ServiceConfig& config, std::uint32_t access,
                                                    ServiceHandle& service) const {
  service.Close();
  if (!IsOpen()) return kErrorInvalidHandle;
  if (!service.impl_) service.impl_ = std::make_unique<ServiceHandle::Impl>();
  const std::wstring name = Widen(config.name);
  const std::wstring display = Widen(config.displayName);
  const std::wstring binary = Widen(config.binaryPath);
  service.impl_->handle =
      CreateServiceW(impl_->handle, name.c_str(), display.empty() ? nullptr : display.c_str(), access,
                     config.serviceType, config.startType, config.errorControl, binary.c_str(), nullptr, nullptr,
                     nullptr, nullptr, nullptr);
  return service.impl_->handle != nullptr ? kErrorSuccess : GetLastError();
}

}  // namespace zl::platform
