// The Internet connection sharing manager (component class
// {5C63C1AD-3956-4FF8-8486-40034758315B}): its connections, their names and
// sharing configurations. Results are COM result codes (0 success,
// negative failure), as the manager's calls report them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zl::platform {

inline constexpr std::int32_t kSharingTypePublic = 0;
inline constexpr std::int32_t kSharingTypePrivate = 1;

// INetSharingConfiguration of one connection.
class SharingConfiguration {
 public:
  std::int32_t GetSharingEnabled(bool& enabled) const;
  std::int32_t GetSharingType(std::int32_t& type) const;
  std::int32_t EnableSharing(std::int32_t type);
  std::int32_t DisableSharing();

 private:
  friend class SharingManager;
  std::string connection_;
};

class SharingManager {
 public:
  // Attaches to the running manager or creates one.
  std::int32_t Connect();
  bool IsConnected() const { return connected_; }
  // EnumEveryConnection: the connections (identities) in the manager's order.
  std::int32_t EnumerateConnections(std::vector<std::string>& connections) const;
  // NetConnectionProps(connection).Name
  std::int32_t GetConnectionName(const std::string& connection, std::string& name) const;
  std::int32_t GetSharingConfiguration(const std::string& connection, SharingConfiguration& configuration) const;

 private:
  bool connected_ = false;
};

}  // namespace zl::platform
