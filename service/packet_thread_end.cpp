#include "service/packet_thread_end.h"

#include "service/engine/driver_binding.h"

namespace zl::service {

bool AwaitPacketThreadEnd(PollEventLoop& loop, std::chrono::milliseconds bound) {
  return loop.RunUntil([] { return engine::WaitForPacketThreads(std::chrono::milliseconds(0)); }, bound);
}

}  // namespace zl::service
