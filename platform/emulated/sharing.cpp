#include "zl/platform/sharing.h"

#include "machine_keys.h"
#include "zl/platform/errors.h"
#include "zl/platform/firewall.h"
#include "zl/platform/machine_state.h"

namespace zl::platform {

using emulated::Hive;
using emulated::HiveKey;

namespace {

// Fault injection: "Sharing\FailAlways" makes every call fail,
// "Sharing\FailCalls" = n makes the next n calls fail. Each call consumes
// one pending failure under the store's lock, so concurrent callers count
// correctly.
std::int32_t InjectedFailure() {
  std::int32_t result = 0;
  emulated::UpdateMachine([&](Hive& hive) {
    if (emulated::Fault(hive, "Sharing\\FailAlways") != 0) {
      result = kComFail;
      return false;
    }
    const std::uint32_t pending = emulated::Fault(hive, "Sharing\\FailCalls");
    if (pending == 0) return false;
    HiveKey& key = hive.Root().FindOrCreate(emulated::kFaultsKey + "\\Sharing");
    if (pending == 1) {
      key.DeleteValue("FailCalls");
    } else {
      key.SetDword("FailCalls", pending - 1);
    }
    result = kComFail;
    return true;
  });
  return result;
}

bool ConnectionExists(const Hive& hive, const std::string& guid) {
  const HiveKey* adapters = hive.Root().Find(emulated::kAdaptersKey);
  if (!adapters) return false;
  for (HiveKey* key : const_cast<HiveKey*>(adapters)->SubKeys()) {
    if (emulated::FoldCase(key->String("Guid")) == emulated::FoldCase(guid)) return true;
  }
  return false;
}

constexpr std::int32_t kComInvalidArgument = static_cast<std::int32_t>(0x80070057);
constexpr std::int32_t kComNotFound = static_cast<std::int32_t>(0x80070490);

std::int32_t UpdateSharing(const std::string& connection, bool enabled, std::int32_t type) {
  if (const std::int32_t failure = InjectedFailure()) return failure;
  if (type != kSharingTypePublic && type != kSharingTypePrivate) return kComInvalidArgument;
  std::int32_t result = 0;
  const std::uint32_t status = emulated::UpdateMachine([&](Hive& hive) {
    if (!ConnectionExists(hive, connection)) {
      result = kComNotFound;
      return false;
    }
    HiveKey& key = hive.Root().FindOrCreate(emulated::kSharingKey + "\\" + connection);
    key.SetDword("Enabled", enabled ? 1 : 0);
    if (enabled) key.SetDword("Type", static_cast<std::uint32_t>(type));
    return true;
  });
  return status == kErrorSuccess ? result : kComAccessDenied;
}

}  // namespace

std::int32_t SharingManager::Connect() {
  if (emulated::MachineDirectory().empty() || emulated::ReadFault("Sharing\\Unavailable") != 0) {
    return kComClassNotRegistered;
  }
  connected_ = true;
  return 0;
}

std::int32_t SharingManager::EnumerateConnections(std::vector<std::string>& connections) const {
  if (!connected_) return kComFail;
  if (const std::int32_t failure = InjectedFailure()) return failure;
  connections.clear();
  for (const auto& adapter : machine::ListAdapters()) connections.push_back(adapter.guid);
  return 0;
}

std::int32_t SharingManager::GetConnectionName(const std::string& connection, std::string& name) const {
  if (!connected_) return kComFail;
  if (const std::int32_t failure = InjectedFailure()) return failure;
  std::int32_t result = kComNotFound;
  emulated::ReadMachine([&](const Hive& hive) {
    if (!ConnectionExists(hive, connection)) return;
    name = emulated::ConnectionNameOf(hive, connection);
    result = 0;
  });
  return result;
}

std::int32_t SharingManager::GetSharingConfiguration(const std::string& connection,
                                                     SharingConfiguration& configuration) const {
  if (!connected_) return kComFail;
  if (const std::int32_t failure = InjectedFailure()) return failure;
  configuration.connection_ = connection;
  return 0;
}

std::int32_t SharingConfiguration::GetSharingEnabled(bool& enabled) const {
  if (const std::int32_t failure = InjectedFailure()) return failure;
  enabled = false;
  emulated::ReadMachine([&](const Hive& hive) {
    if (const HiveKey* key = hive.Root().Find(emulated::kSharingKey + "\\" + connection_)) enabled = key->Dword("Enabled") != 0;
  });
  return 0;
}

std::int32_t SharingConfiguration::GetSharingType(std::int32_t& type) const {
  if (const std::int32_t failure = InjectedFailure()) return failure;
  type = kSharingTypePublic;
  emulated::ReadMachine([&](const Hive& hive) {
    if (const HiveKey* key = hive.Root().Find(emulated::kSharingKey + "\\" + connection_)) {
      type = static_cast<std::int32_t>(key->Dword("Type"));
    }
  });
  return 0;
}

std::int32_t SharingConfiguration::EnableSharing(std::int32_t type) { return UpdateSharing(connection_, true, type); }

std::int32_t SharingConfiguration::DisableSharing() { return UpdateSharing(connection_, false, kSharingTypePublic); }

}  // namespace zl::platform

namespace zl::platform::machine {

std::vector<SharingState> ListSharing() {
  std::vector<SharingState> states;
  emulated::ReadMachine([&](const Hive& hive) {
    const HiveKey* adapters = hive.Root().Find(emulated::kAdaptersKey);
    if (!adapters) return;
    for (HiveKey* adapter : const_cast<HiveKey*>(adapters)->SubKeys()) {
      SharingState state;
      state.guid = adapter->String("Guid");
      state.connectionName = emulated::ConnectionNameOf(hive, state.guid);
      if (const HiveKey* key = hive.Root().Find(emulated::kSharingKey + "\\" + state.guid)) {
        state.enabled = key->Dword("Enabled") != 0;
        state.type = static_cast<std::int32_t>(key->Dword("Type"));
      }
      states.push_back(state);
    }
  });
  return states;
}

}  // namespace zl::platform::machine
