#include "zl/platform/security.h"

#include <windows.h>

#include <vector>

#include "zl/platform/errors.h"

namespace zl::platform {

std::uint32_t BuildSecurityIdentifier(std::uint8_t authority, const std::vector<std::uint32_t>& subAuthorities,
                                      SecurityIdentifier& sid) {
  if (subAuthorities.empty() || subAuthorities.size() > 8) return kErrorInvalidParameter;
  SID_IDENTIFIER_AUTHORITY identifier{{0, 0, 0, 0, 0, authority}};
  DWORD parts[8] = {};
  for (std::size_t i = 0; i < subAuthorities.size(); ++i) parts[i] = subAuthorities[i];
  PSID built = nullptr;
  if (!AllocateAndInitializeSid(&identifier, static_cast<BYTE>(subAuthorities.size()), parts[0], parts[1], parts[2],
                                parts[3], parts[4], parts[5], parts[6], parts[7], &built)) {
    return GetLastError();
  }
  sid.authority = GetSidIdentifierAuthority(built)->Value[5];
  sid.subAuthorities.clear();
  const BYTE count = *GetSidSubAuthorityCount(built);
  for (BYTE i = 0; i < count; ++i) sid.subAuthorities.push_back(*GetSidSubAuthority(built, i));
  FreeSid(built);
  return kErrorSuccess;
}

struct AccessToken::Impl {
  HANDLE token = nullptr;
};

AccessToken::AccessToken() : impl_(std::make_unique<Impl>()) {}

AccessToken::~AccessToken() {
  if (impl_->token != nullptr) CloseHandle(impl_->token);
}

std::uint32_t AccessToken::OpenThreadToken() {
  HANDLE token = nullptr;
  if (!::OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return GetLastError();
  if (impl_->token != nullptr) CloseHandle(impl_->token);
  impl_->token = token;
  return kErrorSuccess;
}

std::uint32_t AccessToken::OpenProcessToken() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return GetLastError();
  if (impl_->token != nullptr) CloseHandle(impl_->token);
  impl_->token = token;
  return kErrorSuccess;
}

bool AccessToken::IsOpen() const { return impl_->token != nullptr; }

std::uint32_t AccessToken::QueryGroups(std::vector<SecurityIdentifier>& groups) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  DWORD size = 0;
  GetTokenInformation(impl_->token, TokenGroups, nullptr, 0, &size);
  if (size == 0) return GetLastError();
  // TOKEN_GROUPS holds pointers: the buffer must be aligned for them.
  std::vector<std::uint64_t> buffer((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
  if (!GetTokenInformation(impl_->token, TokenGroups, buffer.data(), size, &size)) return GetLastError();
  const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  groups.clear();
  for (DWORD i = 0; i < list->GroupCount; ++i) {
    PSID sid = list->Groups[i].Sid;
    SecurityIdentifier entry;
    entry.authority = GetSidIdentifierAuthority(sid)->Value[5];
    const BYTE count = *GetSidSubAuthorityCount(sid);
    for (BYTE k = 0; k < count; ++k) entry.subAuthorities.push_back(*GetSidSubAuthority(sid, k));
    groups.push_back(std::move(entry));
  }
  return kErrorSuccess;
}

}  // namespace zl::platform
