// Internet connection sharing through the sharing manager object. A
// connection is named by its GUID text (NetConnectionProps.Guid); every call
// finds the connection again, as the manager's own collection may change.
#include "zl/platform/sharing.h"

#include "com_support.h"

#include <netcon.h>

#include <functional>

#include "zl/platform/firewall.h"

namespace zl::platform {

using win32::Bstr;
using win32::ComPtr;

namespace {

// netcon.h declares these identifiers without defining them.
constexpr CLSID kSharingManagerClass = {0x5C63C1AD, 0x3956, 0x4FF8, {0x84, 0x86, 0x40, 0x03, 0x47, 0x58, 0x31, 0x5B}};
constexpr IID kSharingManager = {0xC08956B7, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
constexpr IID kNetConnection = {0xC08956A1, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};

HRESULT CreateManager(ComPtr<INetSharingManager>& manager) {
  return CoCreateInstance(kSharingManagerClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, kSharingManager,
                          manager.ReceiveVoid());
}

// Calls `visit` with each connection of the manager and its properties;
// stops when it returns false.
HRESULT ForEachConnection(INetSharingManager* manager,
                          const std::function<bool(INetConnection*, INetConnectionProps*)>& visit) {
  ComPtr<INetSharingEveryConnectionCollection> collection;
  HRESULT rc = manager->get_EnumEveryConnection(collection.Receive());
  if (FAILED(rc)) return rc;
  ComPtr<IUnknown> enumUnknown;
  if (FAILED(rc = collection->get__NewEnum(enumUnknown.Receive()))) return rc;
  ComPtr<IEnumVARIANT> items;
  if (FAILED(rc = enumUnknown->QueryInterface(IID_IEnumVARIANT, items.ReceiveVoid()))) return rc;
  for (;;) {
    VARIANT item;
    VariantInit(&item);
    ULONG fetched = 0;
    if (items->Next(1, &item, &fetched) != S_OK || fetched == 0) break;
    ComPtr<INetConnection> connection;
    bool goOn = true;
    if ((item.vt == VT_UNKNOWN || item.vt == VT_DISPATCH) && item.punkVal != nullptr &&
        SUCCEEDED(item.punkVal->QueryInterface(kNetConnection, connection.ReceiveVoid()))) {
      ComPtr<INetConnectionProps> props;
      if (SUCCEEDED(manager->get_NetConnectionProps(connection.Get(), props.Receive()))) {
        goOn = visit(connection.Get(), props.Get());
      }
    }
    VariantClear(&item);
    if (!goOn) break;
  }
  return S_OK;
}

// Runs `use` on the sharing configuration of the connection with this GUID.
HRESULT WithConfiguration(const std::string& guid, const std::function<HRESULT(INetSharingConfiguration*)>& use) {
  win32::ComScope com;
  if (!com.Ok()) return com.Result();
  ComPtr<INetSharingManager> manager;
  HRESULT rc = CreateManager(manager);
  if (FAILED(rc)) return rc;
  HRESULT result = kComFail;  // no such connection
  rc = ForEachConnection(manager.Get(), [&](INetConnection* connection, INetConnectionProps* props) {
    Bstr id;
    if (FAILED(props->get_Guid(id.Receive())) || id.Text() != guid) return true;
    ComPtr<INetSharingConfiguration> configuration;
    result = manager->get_INetSharingConfigurationForINetConnection(connection, configuration.Receive());
    if (SUCCEEDED(result)) result = use(configuration.Get());
    return false;
  });
  return FAILED(rc) ? rc : result;
}

}  // namespace

std::int32_t SharingConfiguration::GetSharingEnabled(bool& enabled) const {
  return WithConfiguration(connection_, [&](INetSharingConfiguration* configuration) {
    VARIANT_BOOL value = VARIANT_FALSE;
    const HRESULT rc = configuration->get_SharingEnabled(&value);
    if (SUCCEEDED(rc)) enabled = value != VARIANT_FALSE;
    return rc;
  });
}

std::int32_t SharingConfiguration::GetSharingType(std::int32_t& type) const {
  return WithConfiguration(connection_, [&](INetSharingConfiguration* configuration) {
    SHARINGCONNECTIONTYPE value = ICSSHARINGTYPE_PUBLIC;
    const HRESULT rc = configuration->get_SharingConnectionType(&value);
    if (SUCCEEDED(rc)) type = static_cast<std::int32_t>(value);
    return rc;
  });
}

std::int32_t SharingConfiguration::EnableSharing(std::int32_t type) {
  return WithConfiguration(connection_, [&](INetSharingConfiguration* configuration) {
    return configuration->EnableSharing(static_cast<SHARINGCONNECTIONTYPE>(type));
  });
}

std::int32_t SharingConfiguration::DisableSharing() {
  return WithConfiguration(connection_,
                           [](INetSharingConfiguration* configuration) { return configuration->DisableSharing(); });
}

std::int32_t SharingManager::Connect() {
  win32::ComScope com;
  if (!com.Ok()) return com.Result();
  ComPtr<INetSharingManager> manager;
  const HRESULT rc = CreateManager(manager);
  connected_ = SUCCEEDED(rc);
  return rc;
}

std::int32_t SharingManager::EnumerateConnections(std::vector<std::string>& connections) const {
  win32::ComScope com;
  if (!com.Ok()) return com.Result();
  ComPtr<INetSharingManager> manager;
  HRESULT rc = CreateManager(manager);
  if (FAILED(rc)) return rc;
  connections.clear();
  return ForEachConnection(manager.Get(), [&](INetConnection*, INetConnectionProps* props) {
    Bstr id;
    if (SUCCEEDED(props->get_Guid(id.Receive()))) connections.push_back(id.Text());
    return true;
  });
}

std::int32_t SharingManager::GetConnectionName(const std::string& connection, std::string& name) const {
  win32::ComScope com;
  if (!com.Ok()) return com.Result();
  ComPtr<INetSharingManager> manager;
  HRESULT rc = CreateManager(manager);
  if (FAILED(rc)) return rc;
  HRESULT result = kComFail;
  rc = ForEachConnection(manager.Get(), [&](INetConnection*, INetConnectionProps* props) {
    Bstr id;
    if (FAILED(props->get_Guid(id.Receive())) || id.Text() != connection) return true;
    Bstr text;
    result = props->get_Name(text.Receive());
    if (SUCCEEDED(result)) name = text.Text();
    return false;
  });
  return FAILED(rc) ? rc : result;
}

std::int32_t SharingManager::GetSharingConfiguration(const std::string& connection,
                                                     SharingConfiguration& configuration) const {
  std::vector<std::string> connections;
  const HRESULT rc = EnumerateConnections(connections);
  if (FAILED(rc)) return rc;
  for (const std::string& known : connections) {
    if (known == connection) {
      configuration.connection_ = connection;
      return S_OK;
    }
  }
  return kComFail;
}

}  // namespace zl::platform
