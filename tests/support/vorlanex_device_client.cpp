#include "tests/support/vorlanex_device_client.h"

#include <memory>

namespace zl::test {

namespace vx = zl::vorlanex;

DeviceClient::DeviceClient() : handle_(zl::platform::OpenDevice("\\\\.\\VORLANEX")) {}

DeviceClient::~DeviceClient() { Close(); }

void DeviceClient::Close() {
  if (handle_ != zl::platform::kInvalidDevice) zl::platform::CloseDevice(handle_);
  handle_ = zl::platform::kInvalidDevice;
}

std::uint32_t DeviceClient::Request(std::uint32_t code, const void* input, std::uint32_t inputLength, void* output,
                                    std::uint32_t outputLength, std::uint32_t* bytes) {
  std::uint32_t returned = 0;
  const bool ok = zl::platform::DeviceIoControl(handle_, code, input, inputLength, output, outputLength, returned);
  if (bytes != nullptr) *bytes = returned;
  return ok ? 0 : zl::platform::LastDeviceError();
}

std::uint64_t DeviceClient::AdapterHandle(const std::string& guid) {
  auto list = std::make_unique<vx::AdapterList>();
  if (Request(vx::IOCTL_VORLANEX_GET_ADAPTER_LIST, nullptr, 0, list.get(), sizeof *list) != 0) return 0;
  for (std::uint32_t i = 0; i < list->Count && i < vx::MAX_LISTED_ADAPTERS; ++i) {
    const std::string name = list->Name[i];
    if (name.size() >= guid.size() && name.compare(name.size() - guid.size(), guid.size(), guid) == 0) {
      return list->Handle[i];
    }
  }
  return 0;
}

std::uint32_t DeviceClient::SetMode(std::uint64_t adapter, std::uint32_t mode) {
  vx::AdapterModeRequest request{adapter, mode};
  return Request(vx::IOCTL_VORLANEX_SET_ADAPTER_MODE, &request, sizeof request, nullptr, 0);
}

std::uint32_t DeviceClient::Mode(std::uint64_t adapter) {
  vx::AdapterModeRequest request{adapter, 0xFFFFFFFF};
  if (Request(vx::IOCTL_VORLANEX_GET_ADAPTER_MODE, &request, sizeof request, &request, sizeof request) != 0) {
    return 0xFFFFFFFF;
  }
  return request.Flags;
}

std::uint32_t DeviceClient::InstallPassTable() {
  struct {
    std::uint32_t count;
    vx::FilterRule rule;
  } __attribute__((packed)) table{};
  table.count = 1;
  table.rule.Directions = 3;
  table.rule.Action = 1;
  return Request(vx::IOCTL_VORLANEX_SET_FILTER_TABLE, &table, sizeof table, nullptr, 0);
}

std::uint32_t DeviceClient::TableSize() {
  std::uint32_t size = 0xFFFFFFFF;
  if (Request(vx::IOCTL_VORLANEX_GET_FILTER_TABLE_SIZE, nullptr, 0, &size, sizeof size) != 0) return 0xFFFFFFFF;
  return size;
}

std::uint32_t DeviceClient::SetPacketEvent(std::uint64_t adapter, std::intptr_t event) {
  vx::AdapterEventRequest request{adapter, std::uint64_t(event)};
  return Request(vx::IOCTL_VORLANEX_SET_PACKET_EVENT, &request, sizeof request, nullptr, 0);
}

std::uint32_t DeviceClient::ReadPacket(std::uint64_t adapter, vx::PacketRecord& record) {
  vx::PacketRequest request{adapter, reinterpret_cast<std::uintptr_t>(&record)};
  return Request(vx::IOCTL_VORLANEX_READ_PACKET, &request, sizeof request, &request, sizeof request);
}

}  // namespace zl::test
