// A service of the emulated machine that only runs until it is stopped: for
// trying the service manager and the service framework, and for the tests of
// both. "--name=NAME" chooses the service's name (default "ZephlinkDemo").
#include <cstdio>
#include <string>
#include <vector>

#include "shared/support/clock.h"
#include "shared/support/poll_event_loop.h"
#include "shared/syscmd/service_application.h"

int main(int argc, char** argv) {
  std::string name = "ZephlinkDemo";
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--name=", 0) == 0) {
      name = arg.substr(7);
    } else {
      args.push_back(arg);
    }
  }
  zl::SystemClock clock;
  zl::PollEventLoop loop(clock);
  zl::syscmd::ServiceDefinition definition;
  definition.name = name;
  definition.displayName = name + " Service";
  definition.imageArguments = "--name=" + name;
  definition.startType = 3;  // started on demand
  // Written out before the stopped state is reported, so whoever sees the
  // service stopped finds the line in its log.
  definition.onStop = [] {
    std::printf("stop requested\n");
    std::fflush(stdout);
  };
  zl::syscmd::ServiceApplication application(definition, loop);
  const int code = application.Run(args);
  std::fflush(stdout);
  return code;
}
