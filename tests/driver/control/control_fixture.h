// A driver with one running adapter and a client of its control device: the
// request records built as a client would, and the requests sent through the
// kernel host with the test process as requester.
#pragma once

#include <cstring>
#include <vector>

#include "driver/control/vorlanex_interface.h"
#include "driver/entry/driver_events.h"
#include "tests/driver/support/driver_fixture.h"

namespace zl::drivertest {

namespace vx = zl::vorlanex;

template <typename T>
Bytes BytesOf(const T& value) {
  Bytes bytes(sizeof value);
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

template <typename T>
T ValueAt(const Bytes& bytes, std::size_t offset = 0) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

inline std::uint64_t AddressOf(const void* pointer) { return zl::ndishost::CallerProcess::AddressOf(pointer); }

// A multiple request: header, then the record addresses.
Bytes MultiRequest(std::uint64_t adapter, std::uint32_t count, const std::vector<std::uint64_t>& records);
// An OID request with its data area.
Bytes OidRequest(std::uint64_t adapter, std::uint32_t oid, const Bytes& data, std::uint32_t lengthField);
// A caller's record holding the frame.
vx::PacketRecord CallerRecord(const Bytes& frame, std::uint32_t direction = vx::DIRECTION_OUTBOUND);

class ControlTest : public DriverTest {
 protected:
  void SetUp() override;

  using Result = zl::ndishost::KernelHost::DeviceRequestResult;
  Result Control(std::uint32_t code, const Bytes& input, std::uint32_t outputLength);
  Result Open();
  Result Close();  // cleanup, then close

  static std::uint64_t HandleOf(zl::ndishost::EmulatedAdapter& adapter) {
    return std::uint64_t(reinterpret_cast<std::uintptr_t>(adapter.ModuleContext()));
  }
  // Queues inbound frames on the adapter (mode 0x02 for the moment).
  void QueueInbound(const std::vector<Bytes>& frames);

  zl::ndishost::EmulatedAdapter* adapter_ = nullptr;
  std::uint64_t handle_ = 0;
};

}  // namespace zl::drivertest
