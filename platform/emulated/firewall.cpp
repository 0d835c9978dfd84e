#include "zl/platform/firewall.h"

#include "machine_keys.h"
#include "zl/platform/errors.h"
#include "zl/platform/registry.h"

namespace zl::platform {

using emulated::Hive;
using emulated::HiveKey;

struct FirewallProfile::Impl {};

FirewallProfile::FirewallProfile() = default;
FirewallProfile::~FirewallProfile() = default;

std::int32_t FirewallProfile::Open() {
  if (emulated::MachineDirectory().empty() || emulated::ReadFault("FirewallUnavailable") != 0) return kComClassNotRegistered;
  impl_ = std::make_unique<Impl>();
  return 0;
}

std::int32_t FirewallProfile::AddAuthorizedApplication(const AuthorizedApplication& application) {
  if (!impl_) return kComFail;
  if (!emulated::MachineWritable()) return kComAccessDenied;
  std::int32_t result = 0;
  const std::uint32_t status = emulated::UpdateMachine([&](Hive& hive) {
    // The firewall keeps one entry per program image; adding it again
    // replaces the entry.
    if (emulated::Fault(hive, "RegistryReadOnly") != 0) {
      result = kComAccessDenied;
      return false;
    }
    HiveKey& list = hive.Root().FindOrCreate(emulated::kFirewallKey);
    HiveKey* entry = nullptr;
    for (HiveKey* key : list.SubKeys()) {
      if (emulated::FoldCase(key->String("ProcessImageFileName")) == emulated::FoldCase(application.processImageFileName)) {
        entry = key;
      }
    }
    if (!entry) entry = &list.FindOrCreate(emulated::NextSlotName(&list));
    entry->SetString("ProcessImageFileName", application.processImageFileName);
    entry->SetString("Name", application.name);
    entry->SetDword("Scope", static_cast<std::uint32_t>(application.scope));
    entry->SetDword("IpVersion", static_cast<std::uint32_t>(application.ipVersion));
    entry->SetDword("Enabled", application.enabled ? 1 : 0);
    return true;
  });
  return status == kErrorSuccess ? result : kComAccessDenied;
}

}  // namespace zl::platform
