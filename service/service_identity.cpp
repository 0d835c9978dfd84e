#include "service/service_identity.h"

#include "service/zephlink_service.h"

namespace zl::service {

syscmd::ServiceDefinition ZephlinkServiceDefinition(TZephlinkService& service) {
  syscmd::ServiceDefinition definition;
  definition.name = kServiceName;
  definition.displayName = kServiceDisplayName;
  definition.startType = 2;  // automatic
  definition.waitHint = 5000;
  definition.beforeUninstall = [&service] { service.ServiceBeforeUninstall(); };
  return definition;
}

}  // namespace zl::service
