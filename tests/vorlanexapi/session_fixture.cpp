#include "tests/vorlanexapi/session_fixture.h"

#include <algorithm>
#include <cstring>

namespace zl::vorlanexapitest {

vorlanexapi::DeviceChannel HostChannel(ndishost::KernelHost& host) {
  return [&host](std::uint32_t code, const void* input, std::uint32_t inputLength, void* output,
                 std::uint32_t outputLength, std::uint32_t& bytesReturned) {
    const auto* bytes = static_cast<const std::uint8_t*>(input);
    const Bytes request = bytes ? Bytes(bytes, bytes + inputLength) : Bytes{};
    const auto result = host.SendDeviceRequest(IRP_MJ_DEVICE_CONTROL, code, request, outputLength);
    bytesReturned = 0;
    if (!result.completed || result.status != STATUS_SUCCESS) return false;
    bytesReturned = std::uint32_t(result.information);
    const std::size_t copied = std::min<std::size_t>({bytesReturned, outputLength, result.buffer.size()});
    if (copied) std::memcpy(output, result.buffer.data(), copied);
    return true;
  };
}

void SessionFixtureBase::SetUp() {
  LoadDriver();
  adapter_ = &AddAdapter();
  handle_ = std::uint64_t(reinterpret_cast<std::uintptr_t>(adapter_->ModuleContext()));
  adapter_->TakeOidRequests();  // the offload request of the restart
  ASSERT_EQ(host_.SendDeviceRequest(IRP_MJ_CREATE, 0, {}, 0).status, STATUS_SUCCESS);
}

void SessionFixtureBase::TearDown() {
  host_.SendDeviceRequest(IRP_MJ_CLEANUP, 0, {}, 0);
  host_.SendDeviceRequest(IRP_MJ_CLOSE, 0, {}, 0);
  DriverTest::TearDown();
}

}  // namespace zl::vorlanexapitest
