#include "control_panel/net_sharing_manager.h"

namespace zl::panel {
namespace {

void Check(std::int32_t result, const char* call) {
  if (result < 0) throw SharingError(call, result);
}

}  // namespace

SharingError::SharingError(const std::string& what, std::int32_t result)
    : std::runtime_error("sharing manager: " + what + " failed (" + std::to_string(result) + ")"), Result(result) {}

platform::SharingManager& NetSharingManager::Manager() {
  if (!manager_.IsConnected()) Check(manager_.Connect(), "connect");
  return manager_;
}

std::vector<std::string> NetSharingManager::EnumEveryConnection() {
  std::vector<std::string> connections;
  Check(Manager().EnumerateConnections(connections), "EnumEveryConnection");
  return connections;
}

std::string NetSharingManager::ConnectionName(const std::string& connection) {
  std::string name;
  Check(Manager().GetConnectionName(connection, name), "NetConnectionProps");
  return name;
}

platform::SharingConfiguration NetSharingManager::Configuration(const std::string& connection) {
  platform::SharingConfiguration configuration;
  Check(Manager().GetSharingConfiguration(connection, configuration), "INetSharingConfigurationForINetConnection");
  return configuration;
}

void NetSharingManager::DisableSharing(const std::string& connection) {
  Check(Configuration(connection).DisableSharing(), "DisableSharing");
}

void NetSharingManager::EnableSharing(const std::string& connection, std::int32_t sharingType) {
  Check(Configuration(connection).EnableSharing(sharingType), "EnableSharing");
}

}  // namespace zl::panel
