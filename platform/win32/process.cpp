// Programs started through the shell (ShellExecuteEx) or directly
// (CreateProcess), waited for on their process handles.
#include "zl/platform/process.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "module_path.h"
#include "text.h"

namespace zl::platform {

using win32::Narrow;
using win32::Widen;

namespace {

HANDLE AsHandle(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }

}  // namespace

ProcessHandle::~ProcessHandle() { Close(); }

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : id_(other.id_), native_(other.native_), ended_(other.ended_), exitCode_(other.exitCode_) {
  other.id_ = 0;
  other.native_ = 0;
}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
  if (this != &other) {
    Close();
    id_ = other.id_;
    native_ = other.native_;
    ended_ = other.ended_;
    exitCode_ = other.exitCode_;
    other.id_ = 0;
    other.native_ = 0;
  }
  return *this;
}

ProcessHandle::WaitResult ProcessHandle::Wait(std::uint32_t timeoutMs) {
  if (!IsValid() || native_ == 0) return WaitResult::Failed;
  if (ended_) return WaitResult::Ended;
  switch (WaitForSingleObject(AsHandle(native_), timeoutMs)) {
    case WAIT_OBJECT_0: {
      DWORD code = 0;
      if (!GetExitCodeProcess(AsHandle(native_), &code)) return WaitResult::Failed;
      ended_ = true;
      exitCode_ = static_cast<std::int32_t>(code);
      return WaitResult::Ended;
    }
    case WAIT_TIMEOUT:
      return WaitResult::TimedOut;
    default:
      return WaitResult::Failed;
  }
}

bool ProcessHandle::GetExitCode(std::int32_t& code) const {
  if (!IsValid() || !ended_) return false;
  code = exitCode_;
  return true;
}

void ProcessHandle::Close() {
  if (native_ != 0) CloseHandle(AsHandle(native_));
  native_ = 0;
  id_ = 0;
  ended_ = false;
}

bool ExecuteWithShell(const ShellExecuteRequest& request, ProcessHandle& process) {
  process.Close();
  const std::wstring verb = Widen(request.verb);
  const std::wstring file = Widen(request.file);
  const std::wstring parameters = Widen(request.parameters);
  const std::wstring directory = Widen(request.directory);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // No error box of the shell's own: the caller reports the failure.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = verb.empty() ? nullptr : verb.c_str();
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
  info.nShow = request.show;
  if (!ShellExecuteExW(&info)) return false;
  if (info.hProcess != nullptr) {
    process.native_ = reinterpret_cast<std::intptr_t>(info.hProcess);
    process.id_ = GetProcessId(info.hProcess);
    process.ended_ = false;
  }
  return true;
}

bool StartProgram(const std::string& file, const std::string& commandLine, ProcessHandle& process) {
  process.Close();
  const std::wstring application = Widen(file);
  std::wstring line = Widen(commandLine);  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  process.native_ = reinterpret_cast<std::intptr_t>(info.hProcess);
  process.id_ = info.dwProcessId;
  process.ended_ = false;
  return true;
}

std::string FindProgram(const std::string& name) {
  wchar_t system[MAX_PATH];
  const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
  const std::string program = win32::ModulePath();
  std::wstring folders = std::wstring(system, systemLength < MAX_PATH ? systemLength : 0) + L";" +
                         Widen(program.substr(0, program.rfind('\\')));
  std::vector<wchar_t> found(MAX_PATH);
  for (;;) {
    const DWORD length = SearchPathW(folders.c_str(), Widen(name).c_str(), L".exe", static_cast<DWORD>(found.size()),
                                     found.data(), nullptr);
    if (length == 0) return {};
    if (length < found.size()) return Narrow(found.data(), length);
    found.resize(length + 1);
  }
}

std::string GetCommandLineText() { return Narrow(GetCommandLineW()); }

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  // An empty line would give the running program's own name.
  if (commandLine.find_first_not_of(" \t") == std::string::npos) return {};
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(Widen(commandLine).c_str(), &count);
  std::vector<std::string> result;
  if (arguments == nullptr) return result;
  for (int i = 0; i < count; ++i) result.push_back(Narrow(arguments[i]));
  LocalFree(arguments);
  return result;
}

std::string ProgramFile() { return win32::ModulePath(); }

}  // namespace zl::platform
