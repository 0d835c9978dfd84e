// NetSharingManager1: the window's client of the platform's Internet
// connection sharing manager. It connects on first use (attaching to a
// running manager or creating one) and tries again on the next call while it
// is not connected. Every failing call raises SharingError, as the manager's
// automation interface raises to its caller.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "zl/platform/sharing.h"

namespace zl::panel {

class SharingError : public std::runtime_error {
 public:
  SharingError(const std::string& what, std::int32_t result);
  std::int32_t Result;
};

class NetSharingManager {
 public:
  // The manager's connections, in its order.
  std::vector<std::string> EnumEveryConnection();
  // The name of a connection from its properties.
  std::string ConnectionName(const std::string& connection);
  void DisableSharing(const std::string& connection);
  void EnableSharing(const std::string& connection, std::int32_t sharingType);

 private:
  platform::SharingManager& Manager();
  platform::SharingConfiguration Configuration(const std::string& connection);

  platform::SharingManager manager_;
};

}  // namespace zl::panel
