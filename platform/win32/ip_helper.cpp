// Adapter list and ARP through the IP Helper library; address texts and host
// lookups through Winsock.
#include "zl/platform/ip_helper.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <vector>

#include "winsock.h"
#include "zl/platform/errors.h"

namespace zl::platform {

std::uint32_t GetAdaptersInfo(std::vector<AdapterInfo>& adapters) {
  adapters.clear();
  // The first call tells the size; the list may grow before the second, so
  // size again while it reports an overflow.
  std::vector<unsigned char> buffer(sizeof(IP_ADAPTER_INFO));
  ULONG size = static_cast<ULONG>(buffer.size());
  DWORD rc = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  for (int attempt = 0; rc == ERROR_BUFFER_OVERFLOW && attempt < 4; ++attempt) {
    buffer.resize(size);
    rc = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
  }
  if (rc != ERROR_SUCCESS) return rc;
  for (const IP_ADAPTER_INFO* info = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); info != nullptr;
       info = info->Next) {
    AdapterInfo adapter;
    adapter.adapterName = info->AdapterName;
    adapter.description = info->Description;
    const UINT length = info->AddressLength <= MAX_ADAPTER_ADDRESS_LENGTH ? info->AddressLength : 0;
    adapter.address.assign(info->Address, info->Address + length);
    adapter.type = info->Type;
    for (const IP_ADDR_STRING* address = &info->IpAddressList; address != nullptr; address = address->Next) {
      adapter.ipAddresses.emplace_back(address->IpAddress.String);
    }
    adapters.push_back(std::move(adapter));
  }
  return adapters.empty() ? kErrorNoData : kErrorSuccess;
}

std::uint32_t InetAddr(const std::string& text) { return inet_addr(text.c_str()); }

std::string InetNtoa(std::uint32_t address) {
  in_addr in{};
  in.s_addr = address;
  const char* text = inet_ntoa(in);
  return text != nullptr ? text : std::string();
}

std::uint32_t SendArp(std::uint32_t destination, std::uint32_t source, std::uint8_t* buffer, std::uint32_t& length) {
  ULONG size = length;
  const DWORD rc = ::SendARP(destination, source, buffer, &size);
  length = rc == NO_ERROR ? size : 0;
  return rc;
}

int StartSocketLibrary(std::uint16_t version) {
  WSADATA data{};
  return WSAStartup(version, &data);
}

bool GetHostByAddress(std::uint32_t address, std::string& name) {
  win32::EnsureWinsock();
  const hostent* host = gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof address, AF_INET);
  if (host == nullptr || host->h_name == nullptr) return false;
  name = host->h_name;
  return true;
}

}  // namespace zl::platform
