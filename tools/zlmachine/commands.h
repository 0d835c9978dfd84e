// The commands of zlmachine, one function per command word. Each gets the
// words after its own and returns the process exit code.
#pragma once

#include <string>
#include <vector>

namespace zl::tools::zlmachine {

using Args = std::vector<std::string>;

int Create(const Args& args);
int Show(const Args& args);
int Adapters(const Args& args);
int Adapter(const Args& args);  // add | remove
int Clients(const Args& args);
int Client(const Args& args);  // add | remove | present | absent
int Hosts(const Args& args);
int Host(const Args& args);  // set | remove
int HostedNetwork(const Args& args);
int Sharing(const Args& args);  // enable PUBLIC PRIVATE | disable; none: show
int ShowSharing();
int ClockRate(const Args& args);  // N; none: show
int Firewall(const Args& args);
int Services(const Args& args);
int Service(const Args& args);  // start | stop
int Boot(const Args& args);
int Registry(const Args& args);  // query | set | delete
int Fault(const Args& args);
int Exec(const Args& args);

// Prints to standard error and returns 2.
int UsageError(const std::string& message);

}  // namespace zl::tools::zlmachine
