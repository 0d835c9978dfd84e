// The private addresses the packet thread has seen since the last client
// address report, and the report's text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "service/engine/frame_judgement.h"

namespace zl::link {

// Filled by the packet thread, read and emptied by the report in the main
// thread while the packet thread waits; so it needs no lock.
class ClientAddressList final : public engine::ClientAddressNoter {
 public:
  // Notes the destination, then the source: each is appended when it contains
  // "192.168" anywhere and is not in the list yet.
  void NoteClientAddresses(std::string_view destination, std::string_view source) override;

  // In the order first seen.
  const std::vector<std::string>& Addresses() const { return addresses_; }
  void Clear() { addresses_.clear(); }

 private:
  void Note(std::string_view address);

  std::vector<std::string> addresses_;
};

// Each address followed by CR LF, the last one too; "" for an empty list.
std::string ClientAddressReportText(const ClientAddressList& list);

}  // namespace zl::link
