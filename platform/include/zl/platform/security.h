// The access token of the running process and the groups it holds.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace zl::platform {

// A security identifier: identifier authority and sub-authorities
// (the built-in Administrators group is authority 5 with 32, 544).
struct SecurityIdentifier {
  std::uint8_t authority = 0;
  std::vector<std::uint32_t> subAuthorities;
  friend bool operator==(const SecurityIdentifier&, const SecurityIdentifier&) = default;
};

// AllocateAndInitializeSid; a platform error number.
std::uint32_t BuildSecurityIdentifier(std::uint8_t authority, const std::vector<std::uint32_t>& subAuthorities,
                                      SecurityIdentifier& sid);

class AccessToken {
 public:
  AccessToken();
  ~AccessToken();
  AccessToken(const AccessToken&) = delete;
  AccessToken& operator=(const AccessToken&) = delete;

  // The calling thread's token, opened for querying as the process itself;
  // ERROR_NO_TOKEN when the thread has none of its own.
  std::uint32_t OpenThreadToken();
  std::uint32_t OpenProcessToken();
  bool IsOpen() const;
  // The token's group list (whatever the groups' attributes).
  std::uint32_t QueryGroups(std::vector<SecurityIdentifier>& groups) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zl::platform
