// The platform firewall's automation objects: the manager "HNetCfg.FwMgr",
// its local policy's current profile, and authorised applications
// ("HNetCfg.FwAuthorizedApplication"). Results are COM result codes
// (0 success, negative failure).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zl::platform {

struct AuthorizedApplication {
  std::string processImageFileName;
  std::string name;
  std::int32_t scope = 0;      // 0: all remote addresses
  std::int32_t ipVersion = 2;  // 2: any IP version
  bool enabled = true;
};

class FirewallProfile {
 public:
  FirewallProfile();
  ~FirewallProfile();
  FirewallProfile(const FirewallProfile&) = delete;
  FirewallProfile& operator=(const FirewallProfile&) = delete;

  // Creates the manager object and takes LocalPolicy.CurrentProfile.
  std::int32_t Open();
  // Creates an authorised-application object with these properties and adds
  // it to the profile's AuthorizedApplications (the same image replaces).
  std::int32_t AddAuthorizedApplication(const AuthorizedApplication& application);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

inline constexpr std::int32_t kComClassNotRegistered = static_cast<std::int32_t>(0x80040154);
inline constexpr std::int32_t kComAccessDenied = static_cast<std::int32_t>(0x80070005);
inline constexpr std::int32_t kComFail = static_cast<std::int32_t>(0x80004005);

}  // namespace zl::platform
