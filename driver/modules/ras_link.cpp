#include "driver/modules/ras_link.h"

#include "driver/entry/pool_tags.h"

namespace zl::driver {

void ReleaseRasLinks(FilterModule* module) {
  AcquireKernelLock(&module->RasLinkLock);
  while (!IsListEmpty(&module->RasLinks)) {
    RasLink* link = CONTAINING_RECORD(RemoveHeadList(&module->RasLinks), RasLink, Link);
    ExFreePoolWithTag(link, TAG_DRIVER);
  }
  ReleaseKernelLock(&module->RasLinkLock);
}

}  // namespace zl::driver
