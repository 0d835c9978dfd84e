#include "zl/platform/security.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstring>

#include "machine_keys.h"
#include "zl/platform/errors.h"

namespace zl::platform {
namespace {

// Administrator as the emulated machine sees it: effective user root, or a
// member of the groups that may administer a Linux machine; a machine can
// also take the right away by its "NotAdministrator" fault.
bool IsAdministrator() {
  if (emulated::ReadFault("NotAdministrator") != 0) return false;
  if (geteuid() == 0) return true;
  std::vector<gid_t> groups(static_cast<std::size_t>(getgroups(0, nullptr)) + 1);
  const int count = getgroups(static_cast<int>(groups.size()), groups.data());
  groups.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  groups.push_back(getegid());
  for (gid_t gid : groups) {
    const group* entry = getgrgid(gid);
    if (!entry) continue;
    const char* name = entry->gr_name;
    if (std::strcmp(name, "sudo") == 0 || std::strcmp(name, "admin") == 0 || std::strcmp(name, "wheel") == 0) return true;
  }
  return false;
}

}  // namespace

std::uint32_t BuildSecurityIdentifier(std::uint8_t authority, const std::vector<std::uint32_t>& subAuthorities,
                                      SecurityIdentifier& sid) {
  if (subAuthorities.empty() || subAuthorities.size() > 8) return kErrorInvalidParameter;
  sid = SecurityIdentifier{authority, subAuthorities};
  return kErrorSuccess;
}

struct AccessToken::Impl {
  bool administrator = false;
};

AccessToken::AccessToken() = default;
AccessToken::~AccessToken() = default;

// Threads of the emulated machine never impersonate, so they have no token.
std::uint32_t AccessToken::OpenThreadToken() { return kErrorNoToken; }

std::uint32_t AccessToken::OpenProcessToken() {
  impl_ = std::make_unique<Impl>();
  impl_->administrator = IsAdministrator();
  return kErrorSuccess;
}

bool AccessToken::IsOpen() const { return impl_ != nullptr; }

std::uint32_t AccessToken::QueryGroups(std::vector<SecurityIdentifier>& groups) const {
  if (!impl_) return kErrorInvalidHandle;
  groups = {
      {1, {0}},         // Everyone
      {5, {32, 545}},   // Users
      {5, {4}},         // Interactive
      {5, {11}},        // Authenticated Users
  };
  if (impl_->administrator) groups.push_back({5, {32, 544}});
  return kErrorSuccess;
}

}  // namespace zl::platform
