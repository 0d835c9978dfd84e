// The service's identity as the service framework registers it: service
// "ZephlinkService", display name "Zephlink Service", own process, automatic
// start, normal error control, wait hint 5000 ms, no account (local system).
#pragma once

#include "shared/syscmd/service_application.h"

namespace zl::service {

inline constexpr const char* kServiceName = "ZephlinkService";
inline constexpr const char* kServiceDisplayName = "Zephlink Service";

class TZephlinkService;

// The framework's definition; uninstalling first runs the object's
// ServiceBeforeUninstall.
syscmd::ServiceDefinition ZephlinkServiceDefinition(TZephlinkService& service);

}  // namespace zl::service
