#include "shared/syscmd/service_application.h"

#include <cctype>

#include "zl/platform/errors.h"
#include "zl/platform/message_box.h"
#include "zl/platform/process.h"
#include "zl/platform/service_dispatcher.h"
#include "zl/platform/service_manager.h"

namespace zl::syscmd {

using namespace platform;

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string ErrorText(std::uint32_t code) { return "error " + std::to_string(code); }

}  // namespace

ServiceSwitches ParseServiceSwitches(const std::vector<std::string>& args) {
  ServiceSwitches switches;
  for (const std::string& arg : args) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) continue;
    const std::string name = Upper(arg.substr(1));
    switches.install |= name == "INSTALL";
    switches.uninstall |= name == "UNINSTALL";
    switches.silent |= name == "SILENT";
  }
  return switches;
}

ServiceApplication::ServiceApplication(ServiceDefinition definition, PollEventLoop& loop)
    : definition_(std::move(definition)), loop_(loop) {}

int ServiceApplication::Run(const std::vector<std::string>& args) {
  const ServiceSwitches switches = ParseServiceSwitches(args);
  if (switches.install) return Install(switches.silent);
  if (switches.uninstall) return Uninstall(switches.silent);
  return RunService();
}

void ServiceApplication::Report(bool silent, const std::string& text, bool failure) {
  if (silent) return;
  ShowMessageBox(text, definition_.displayName, failure ? kMessageBoxIconWarning : kMessageBoxIconInformation);
}

int ServiceApplication::Install(bool silent) {
  ServiceManagerHandle manager;
  std::uint32_t status = manager.Connect("", kScManagerAllAccess);
  if (status == kErrorSuccess) {
    ServiceConfig config;
    config.name = definition_.name;
    config.displayName = definition_.displayName;
    config.startType = definition_.startType;
    // Quoted, so a path with blanks stays one program name.
    config.binaryPath.append(1, '"').append(ProgramFile()).append(1, '"');
    if (!definition_.imageArguments.empty()) config.binaryPath += " " + definition_.imageArguments;
    ServiceHandle service;
    status = manager.RegisterService(config, kServiceAllAccess, service);
  }
  if (status != kErrorSuccess) {
    Report(silent, "Service \"" + definition_.displayName + "\" failed to install with error: \"" + ErrorText(status) + "\"",
           true);
    return 1;
  }
  Report(silent, kServiceInstalledText, false);
  return 0;
}

int ServiceApplication::Uninstall(bool silent) {
  if (definition_.beforeUninstall) {
    try {
      definition_.beforeUninstall();
    } catch (...) {
    }
  }
  ServiceManagerHandle manager;
  std::uint32_t status = manager.Connect("", kScManagerAllAccess);
  if (status == kErrorSuccess) {
    ServiceHandle service;
    status = manager.OpenServiceByName(definition_.name, kServiceAllAccess, service);
    if (status == kErrorSuccess) status = service.Delete();
  }
  if (status != kErrorSuccess) {
    Report(silent,
           "Service \"" + definition_.displayName + "\" failed to uninstall with error: \"" + ErrorText(status) + "\"", true);
    return 1;
  }
  Report(silent, kServiceUninstalledText, false);
  return 0;
}

int ServiceApplication::RunService() {
  const std::uint32_t status = RunAsService(definition_.name, [this](ServiceControlChannel& channel) {
    if (!loop_.IsLoopThread()) loop_.AdoptCurrentThread();
    std::uint32_t checkPoint = 0;
    auto report = [&](std::uint32_t state) {
      ServiceStatus s;
      s.currentState = state;
      const bool pending = state == kServiceStartPending || state == kServiceStopPending ||
                           state == kServicePausePending || state == kServiceContinuePending;
      s.checkPoint = pending ? ++checkPoint : 0;
      s.waitHint = pending ? definition_.waitHint : 0;
      s.controlsAccepted = pending ? 0 : kServiceAcceptStop | kServiceAcceptPauseContinue;
      channel.ReportStatus(s);
    };
    report(kServiceStartPending);
    std::uint32_t current = kServiceRunning;
    const auto watch = loop_.WatchSocket(channel.RequestHandle(), true, false, [&](unsigned) {
      while (const std::uint32_t control = channel.TakeRequest()) {
        if (control == kServiceControlStop) {
          report(kServiceStopPending);
          if (definition_.onStop) definition_.onStop();
          loop_.Quit();
        } else if (control == kServiceControlPause && current == kServiceRunning) {
          current = kServicePaused;
          report(current);
        } else if (control == kServiceControlContinue && current == kServicePaused) {
          current = kServiceRunning;
          report(current);
        } else {
          report(current);
        }
      }
    });
    report(kServiceRunning);
    loop_.Run();
    loop_.RemoveWatch(watch);
    report(kServiceStopped);
  });
  // Not started by the service manager (or refused by it): nothing ran.
  return status == kErrorSuccess ? 0 : 1;
}

}  // namespace zl::syscmd
