// The machine's network adapters as adapters of the kernel host: one emulated
// adapter with its frame endpoints per adapter of the machine's list, kept in
// step with the list (the hosted network's adapter comes and goes with the
// hosted network).
#pragma once

#include <map>
#include <memory>
#include <string>

#include "zl/ndishost/frame_endpoints.h"
#include "zl/ndishost/kernel_host.h"
#include "zl/platform/machine_state.h"

namespace zl::vorlanexhost {

// How an adapter of the machine looks to NDIS: its device name ends in its
// GUID, a wireless adapter presents itself as 802.3 as NDIS 6 wireless
// miniports do, a dial-up one as WAN.
zl::ndishost::AdapterConfig ConfigOf(const zl::platform::machine::AdapterRecord& record);

class MachineAdapters {
 public:
  // Frame endpoints go to `<adaptersFolder>/<GUID>/`.
  MachineAdapters(zl::ndishost::KernelHost& host, std::string adaptersFolder);
  ~MachineAdapters();
  MachineAdapters(const MachineAdapters&) = delete;
  MachineAdapters& operator=(const MachineAdapters&) = delete;

  // Adds the adapters the machine lists and the host lacks, removes those it no
  // longer lists (their modules paused and detached first). A new adapter is
  // bound at once when the filter is registered.
  void Sync();
  // Stops every frame endpoint (nothing more comes in from outside).
  void StopEndpoints();
  // Removes every adapter from the host.
  void RemoveAll();

  std::size_t Count() const { return adapters_.size(); }

 private:
  struct Entry {
    zl::ndishost::EmulatedAdapter* adapter = nullptr;
    std::unique_ptr<zl::ndishost::FrameEndpoints> endpoints;
  };
  void Remove(const std::string& guid);

  zl::ndishost::KernelHost& host_;
  std::string folder_;
  std::map<std::string, Entry> adapters_;
};

}  // namespace zl::vorlanexhost
