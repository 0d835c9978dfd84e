#include "zl/platform/named_mutex.h"

#include <windows.h>

#include "text.h"

namespace zl::platform {

struct NamedMutex::Impl {
  HANDLE handle = nullptr;
};

NamedMutex::NamedMutex() : impl_(std::make_unique<Impl>()) {}
NamedMutex::~NamedMutex() { Close(); }

NamedMutex::Result NamedMutex::Create(const std::string& name) {
  Close();
  HANDLE handle = CreateMutexW(nullptr, TRUE, win32::Widen(name).c_str());
  if (handle == nullptr) return Result::Failed;
  impl_->handle = handle;
  // With an existing mutex the initial ownership is not granted.
  return GetLastError() == ERROR_ALREADY_EXISTS ? Result::AlreadyExists : Result::Created;
}

void NamedMutex::Close() {
  if (impl_->handle != nullptr) {
    // Only an owner may release; for a handle that never owned it this fails harmlessly.
    ReleaseMutex(impl_->handle);
    CloseHandle(impl_->handle);
    impl_->handle = nullptr;
  }
}

}  // namespace zl::platform
