#include "zl/ndishost/control_device_service.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "after_answer.h"
#include "zl/ndishost/remote_process.h"

namespace zl::ndishost {
namespace {

bool IsErrorStatus(NTSTATUS status) { return std::uint32_t(status) >> 30 == 3; }

class HandleSession final : public zl::platform::DeviceSession {
 public:
  HandleSession(KernelHost& host, pid_t pid, const std::function<void(pid_t, bool)>& observer)
      : host_(host), process_(pid), pid_(pid), observer_(observer) {}

  NTSTATUS Create() {
    const NTSTATUS status = Send(IRP_MJ_CREATE);
    opened_ = NT_SUCCESS(status);
    if (opened_ && observer_) observer_(pid_, true);
    return status;
  }

  ~HandleSession() override {
    // A create the driver refused has nothing to clean up. Otherwise the last
    // handle of the file object is gone (cleanup), then the object itself (close).
    if (!opened_) return;
    Send(IRP_MJ_CLEANUP);
    Send(IRP_MJ_CLOSE);
    if (observer_) observer_(pid_, false);
  }

  zl::platform::DeviceControlReply Control(const zl::platform::DeviceControlRequest& request) override {
    // Frames the request makes come out of an endpoint go once it is answered.
    BeginAnswer();
    KernelHost::DeviceRequestResult result = host_.SendDeviceRequest(
        IRP_MJ_DEVICE_CONTROL, request.controlCode, request.input, request.outputLength, true, &process_);
    // The driver holds its own references to any event it kept.
    process_.EndRequest();
    if (result.pending) result = host_.AwaitCompletedRequest(result.id);
    zl::platform::DeviceControlReply reply;
    reply.status = std::uint32_t(result.status);
    reply.information = std::uint32_t(std::min<ULONG_PTR>(result.information, request.outputLength));
    if (!IsErrorStatus(result.status)) {
      const std::size_t copied = std::min<std::size_t>(reply.information, result.buffer.size());
      // The system buffer itself becomes the answer's output: no second copy.
      reply.output = std::move(result.buffer);
      reply.output.resize(copied);
    }
    return reply;
  }

  void Answered() override { RunAfterAnswer(); }

 private:
  NTSTATUS Send(UCHAR major) {
    KernelHost::DeviceRequestResult result = host_.SendDeviceRequest(major, 0, {}, 0, true, &process_);
    process_.EndRequest();
    if (result.pending) result = host_.AwaitCompletedRequest(result.id);
    return result.status;
  }

  KernelHost& host_;
  RemoteProcess process_;
  pid_t pid_;
  const std::function<void(pid_t, bool)>& observer_;
  bool opened_ = false;
};

}  // namespace

bool ControlDeviceService::Start(const std::string& socketPath) {
  if (host_.Device() == nullptr) {
    errno = ENODEV;
    return false;
  }
  return server_.Start(socketPath, [this](pid_t pid) {
    zl::platform::DeviceServer::Opened opened;
    auto session = std::make_unique<HandleSession>(host_, pid, observer_);
    opened.status = std::uint32_t(session->Create());
    if (opened.status == 0) opened.session = std::move(session);
    return opened;
  });
}

}  // namespace zl::ndishost
