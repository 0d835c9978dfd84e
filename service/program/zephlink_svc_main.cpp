// ZephlinkSvc: creates the service object (which runs ServiceCreate) and
// hands the command line to the service framework: "INSTALL" registers the
// service, "UNINSTALL" removes it, nothing runs it until a stop request.
// Destroying the object runs ServiceDestroy; the driver release runs at
// process exit.
#include <string>
#include <vector>

#include "service/service_identity.h"
#include "service/zephlink_service.h"
#include "shared/support/clock.h"
#include "shared/support/poll_event_loop.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  zl::SystemClock clock;
  zl::PollEventLoop loop(clock);
  int code = 1;
  {
    zl::service::TZephlinkService service(loop);
    zl::syscmd::ServiceApplication application(zl::service::ZephlinkServiceDefinition(service), loop);
    code = application.Run(args);
  }
  return code;
}
