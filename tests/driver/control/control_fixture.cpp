#include "tests/driver/control/control_fixture.h"

namespace zl::drivertest {

Bytes MultiRequest(std::uint64_t adapter, std::uint32_t count, const std::vector<std::uint64_t>& records) {
  vx::MultiPacketRequest header{adapter, count, 0xFFFFFFFF};
  Bytes bytes = BytesOf(header);
  for (std::uint64_t record : records) {
    const Bytes address = BytesOf(record);
    bytes.insert(bytes.end(), address.begin(), address.end());
  }
  return bytes;
}

Bytes OidRequest(std::uint64_t adapter, std::uint32_t oid, const Bytes& data, std::uint32_t lengthField) {
  Bytes bytes = BytesOf(vx::OidPassRequest{adapter, oid, lengthField});
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

vx::PacketRecord CallerRecord(const Bytes& frame, std::uint32_t direction) {
  vx::PacketRecord record{};
  record.Direction = direction;
  record.Length = std::uint32_t(frame.size());
  std::memcpy(record.Frame, frame.data(), std::min<std::size_t>(frame.size(), sizeof record.Frame));
  return record;
}

void ControlTest::SetUp() {
  LoadDriver();
  adapter_ = &AddAdapter();
  handle_ = HandleOf(*adapter_);
  adapter_->TakeOidRequests();  // the offload request of the restart
}

ControlTest::Result ControlTest::Control(std::uint32_t code, const Bytes& input, std::uint32_t outputLength) {
  return host_.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, code, input, outputLength);
}

ControlTest::Result ControlTest::Open() { return host_.SendDeviceRequest(IRP_MJ_CREATE, 0, {}, 0); }

ControlTest::Result ControlTest::Close() {
  host_.SendDeviceRequest(IRP_MJ_CLEANUP, 0, {}, 0);
  return host_.SendDeviceRequest(IRP_MJ_CLOSE, 0, {}, 0);
}

void ControlTest::QueueInbound(const std::vector<Bytes>& frames) {
  const ULONG mode = zl::driver::ReadModeFlags(&ModuleOf(*adapter_)->Queue);
  SetMode(*adapter_, vx::MODE_DIVERT_INBOUND);
  adapter_->ReceiveFromMiniport(Chain(frames));
  SetMode(*adapter_, mode);
}

}  // namespace zl::drivertest
