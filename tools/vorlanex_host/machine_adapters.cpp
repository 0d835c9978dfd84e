#include "tools/vorlanex_host/machine_adapters.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

namespace zl::vorlanexhost {

namespace machine = zl::platform::machine;

zl::ndishost::AdapterConfig ConfigOf(const machine::AdapterRecord& record) {
  zl::ndishost::AdapterConfig config;
  config.deviceName = "\\DEVICE\\" + record.guid;
  config.medium = record.type == machine::kAdapterTypePpp ? NdisMediumWan : NdisMedium802_3;
  if (record.mac.size() == 6) config.macAddress = record.mac;
  config.mtu = 1500;
  return config;
}

MachineAdapters::MachineAdapters(zl::ndishost::KernelHost& host, std::string adaptersFolder)
    : host_(host), folder_(std::move(adaptersFolder)) {}

MachineAdapters::~MachineAdapters() { RemoveAll(); }

void MachineAdapters::Sync() {
  std::set<std::string> listed;
  for (const machine::AdapterRecord& record : machine::ListAdapters()) {
    if (!record.inAdapterList || record.guid.empty()) continue;
    listed.insert(record.guid);
    if (adapters_.count(record.guid) != 0) continue;
    // The endpoints exist before the driver attaches, so a client told of the
    // new adapter (adapter-list event) finds them.
    Entry entry;
    entry.adapter = &host_.AddAdapter(ConfigOf(record), false);
    ::mkdir(folder_.c_str(), 0755);
    entry.endpoints = std::make_unique<zl::ndishost::FrameEndpoints>(*entry.adapter, folder_ + "/" + record.guid);
    if (!entry.endpoints->Start()) {
      std::fprintf(stderr, "vorlanex-host: no frame endpoints for %s: %s\n", record.guid.c_str(), std::strerror(errno));
      entry.endpoints.reset();
    }
    if (host_.FilterRegistered() && host_.Attach(*entry.adapter) == NDIS_STATUS_SUCCESS) host_.Restart(*entry.adapter);
    std::fprintf(stderr, "vorlanex-host: adapter %s attached\n", record.guid.c_str());
    adapters_.emplace(record.guid, std::move(entry));
  }
  for (auto it = adapters_.begin(); it != adapters_.end();) {
    const std::string guid = (it++)->first;
    if (listed.count(guid) == 0) Remove(guid);
  }
}

void MachineAdapters::StopEndpoints() {
  for (auto& [guid, entry] : adapters_) {
    if (entry.endpoints) entry.endpoints->Stop();
  }
}

void MachineAdapters::Remove(const std::string& guid) {
  auto it = adapters_.find(guid);
  if (it == adapters_.end()) return;
  if (it->second.endpoints) it->second.endpoints->Stop();
  host_.RemoveAdapter(*it->second.adapter);
  adapters_.erase(it);
  std::fprintf(stderr, "vorlanex-host: adapter %s detached\n", guid.c_str());
}

void MachineAdapters::RemoveAll() {
  while (!adapters_.empty()) {
    const std::string guid = adapters_.begin()->first;
    Remove(guid);
  }
}

}  // namespace zl::vorlanexhost
