#include "service/link/client_address_list.h"

#include <algorithm>

namespace zl::link {

void ClientAddressList::NoteClientAddresses(std::string_view destination, std::string_view source) {
  Note(destination);
  Note(source);
}

void ClientAddressList::Note(std::string_view address) {
  if (address.find("192.168") == std::string_view::npos) return;
  if (std::find(addresses_.begin(), addresses_.end(), address) != addresses_.end()) return;
  addresses_.emplace_back(address);
}

std::string ClientAddressReportText(const ClientAddressList& list) {
  std::string text;
  for (const std::string& address : list.Addresses()) {
    text += address;
    text += "\r\n";
  }
  return text;
}

}  // namespace zl::link
