// The Windows Firewall's automation objects (XP SP2 and later).
#include "zl/platform/firewall.h"

#include "com_support.h"

#include <netfw.h>

namespace zl::platform {

using win32::Bstr;
using win32::ComPtr;

struct FirewallProfile::Impl {
  win32::ComScope com;
  ComPtr<INetFwProfile> profile;
};

FirewallProfile::FirewallProfile() : impl_(std::make_unique<Impl>()) {}
FirewallProfile::~FirewallProfile() = default;

std::int32_t FirewallProfile::Open() {
  if (!impl_->com.Ok()) return impl_->com.Result();
  ComPtr<INetFwMgr> manager;
  HRESULT rc = win32::CreateByProgId(L"HNetCfg.FwMgr", __uuidof(INetFwMgr), manager.ReceiveVoid());
  if (FAILED(rc)) return rc;
  ComPtr<INetFwPolicy> policy;
  rc = manager->get_LocalPolicy(policy.Receive());
  if (FAILED(rc)) return rc;
  return policy->get_CurrentProfile(impl_->profile.Receive());
}

std::int32_t FirewallProfile::AddAuthorizedApplication(const AuthorizedApplication& application) {
  if (!impl_->profile) return kComFail;
  ComPtr<INetFwAuthorizedApplication> entry;
  HRESULT rc = win32::CreateByProgId(L"HNetCfg.FwAuthorizedApplication", __uuidof(INetFwAuthorizedApplication),
                                     entry.ReceiveVoid());
  if (FAILED(rc)) return rc;
  const Bstr image(application.processImageFileName);
  const Bstr name(application.name);
  if (FAILED(rc = entry->put_ProcessImageFileName(image.Get()))) return rc;
  if (FAILED(rc = entry->put_Name(name.Get()))) return rc;
  if (FAILED(rc = entry->put_Scope(static_cast<NET_FW_SCOPE>(application.scope)))) return rc;
  if (FAILED(rc = entry->put_IpVersion(static_cast<NET_FW_IP_VERSION>(application.ipVersion)))) return rc;
  if (FAILED(rc = entry->put_Enabled(application.enabled ? VARIANT_TRUE : VARIANT_FALSE))) return rc;
  ComPtr<INetFwAuthorizedApplications> list;
  if (FAILED(rc = impl_->profile->get_AuthorizedApplications(list.Receive()))) return rc;
  return list->Add(entry.Get());
}

}  // namespace zl::platform
