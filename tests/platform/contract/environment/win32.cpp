// The contract cases' machine on Windows (under Wine here): the real one.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "message_loop.h"
#include "shared/support/poll_event_loop.h"
#include "tests/platform/contract/contract_environment.h"

namespace zl::contract {

struct MachineScope::Impl {};

MachineScope::MachineScope() : impl_(std::make_unique<Impl>()) {}
MachineScope::~MachineScope() = default;

namespace {

// The build tree's Linux paths, as Wine shows them on drive Z:.
std::string ProgramForm(std::string native) {
  std::replace(native.begin(), native.end(), '/', '\\');
  return "Z:" + native;
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

bool RunMessageLoopUntil(win32::MessageLoop& loop, const std::function<bool()>& done) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done() && std::chrono::steady_clock::now() < giveUp) {
    // A message (socket, call) ends the wait at once; the bound only keeps a
    // lost notification from hanging the suite.
    MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    loop.ProcessPending();
  }
  return done();
}

}  // namespace

std::string BuiltProgram(const std::string& name) {
  return ProgramForm(std::string(ZL_CONTRACT_PROGRAMS) + "/" + name + ".exe");
}

std::string ScratchFolder(const std::string& caseName) {
  const std::string folder =
      ProgramForm(std::string(ZL_CONTRACT_SCRATCH) + "/" + caseName + "-" + std::to_string(GetCurrentProcessId()));
  const std::wstring wide(folder.begin(), folder.end());
  RemoveTree(wide);
  const std::wstring parent = wide.substr(0, wide.rfind(L'\\'));
  CreateDirectoryW(parent.c_str(), nullptr);
  CreateDirectoryW(wide.c_str(), nullptr);
  return folder;
}

std::vector<LoopKind> EventLoopKinds() {
  auto poll = [](EventLoop& loop) -> PollEventLoop& { return static_cast<PollEventLoop&>(loop); };
  auto message = [](EventLoop& loop) -> win32::MessageLoop& { return static_cast<win32::MessageLoop&>(loop); };
  return {
      {"PollEventLoop", [](Clock& clock) { return std::make_unique<PollEventLoop>(clock); },
       [poll](EventLoop& loop, const std::function<bool()>& done) { return poll(loop).RunUntil(done); },
       [poll](EventLoop& loop) { poll(loop).RunUntilIdle(); },
       [poll](EventLoop& loop, std::chrono::milliseconds d) { poll(loop).RunFor(d); }},
      {"MessageLoop", [](Clock& clock) { return std::make_unique<win32::MessageLoop>(clock); },
       [message](EventLoop& loop, const std::function<bool()>& done) { return RunMessageLoopUntil(message(loop), done); },
       [message](EventLoop& loop) { message(loop).RunUntilIdle(); },
       [message](EventLoop& loop, std::chrono::milliseconds d) { message(loop).RunFor(d); }},
  };
}

}  // namespace zl::contract
