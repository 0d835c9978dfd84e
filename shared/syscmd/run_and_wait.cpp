#include "shared/syscmd/run_and_wait.h"

#include "shared/support/event_loop.h"
#include "zl/platform/process.h"

namespace zl::syscmd {

namespace {
constexpr std::uint32_t kWaitSliceMs = 100;
}

std::int32_t RunAndWait(const std::string& verb, const std::string& file, const std::string& parameters, bool wait,
                        std::uint16_t show) {
  platform::ProcessHandle process;
  platform::ShellExecuteRequest request{verb, file, parameters, "", show};
  if (!platform::ExecuteWithShell(request, process)) return -1;
  if (!wait) return 0;
  // A document handed to its application gives no process to wait for.
  if (!process.IsValid()) return -1;
  for (;;) {
    const auto result = process.Wait(kWaitSliceMs);
    if (result == platform::ProcessHandle::WaitResult::Ended) break;
    if (result == platform::ProcessHandle::WaitResult::Failed) return -1;
    if (EventLoop* loop = EventLoop::Current()) loop->ProcessPending();
  }
  std::int32_t code = -1;
  return process.GetExitCode(code) ? code : -1;
}

}  // namespace zl::syscmd
