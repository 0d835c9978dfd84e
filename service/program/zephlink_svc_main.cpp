// ZephlinkSvc: creates the service object (which runs ServiceCreate) and
// hands the command line to the service framework: "/INSTALL" registers the
// service, "/UNINSTALL" removes it, nothing runs it until a stop request.
// Destroying the object runs ServiceDestroy. The driver release is the
// process's last step, once the packet thread has left the driver; until
// then the loop serves a synchronised call the thread may be waiting for.
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "service/engine/driver_binding.h"
#include "service/packet_thread_end.h"
#include "service/service_identity.h"
#include "service/zephlink_service.h"
#include "shared/support/clock.h"
#include "shared/support/poll_event_loop.h"

namespace {
// A stopped thread has been woken and leaves at once; one stuck in the
// driver must not hold the process for ever.
constexpr std::chrono::seconds kThreadEndBound{5};
}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  int code = 1;
  {
    zl::SystemClock clock;
    zl::PollEventLoop loop(clock);
    {
      zl::service::TZephlinkService service(loop);
      zl::syscmd::ServiceApplication application(zl::service::ZephlinkServiceDefinition(service), loop);
      code = application.Run(args);
    }
    const bool threadEnded = zl::service::AwaitPacketThreadEnd(loop, kThreadEndBound);
    // A thread still in the driver would run on into the process's teardown:
    // end at once instead; closing the last driver handle with the process
    // returns every adapter to mode 0 all the same.
    if (!threadEnded) std::_Exit(code);
  }
  zl::engine::ReleaseDriver();
  return code;
}
