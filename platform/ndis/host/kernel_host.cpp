#include "zl/ndishost/kernel_host.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "host_internals.h"

namespace zl::ndishost {
namespace {

std::atomic<KernelHost*> currentHost{nullptr};


}  // namespace

int kStackPoolSentinel;
int kMiniportPoolSentinel;

KernelHost::KernelHost(zl::Clock& clock)
    : clock_(clock),
      pools_([this](const std::string& what) { RecordViolation(what); }),
      inner_(std::make_unique<Internals>()) {
  KernelHost* expected = nullptr;
  if (!currentHost.compare_exchange_strong(expected, this)) {
    throw std::logic_error("only one kernel host may exist at a time");
  }
  // 2026-01-05 09:00 UTC, matching the virtual clock's default start.
  systemTimeBase_ = 134120772000000000LL;
}

KernelHost::~KernelHost() {
  if (DriverLoaded()) UnloadDriver();
  {
    std::lock_guard lock(adaptersMutex_);
    adapters_.clear();
  }
  currentHost = nullptr;
}

KernelHost& KernelHost::Current() {
  KernelHost* host = currentHost.load();
  if (host == nullptr) std::abort();  // a kernel function called with no host
  return *host;
}

void KernelHost::SetDelayHook(std::function<void()> hook) {
  std::lock_guard lock(hookMutex_);
  delayHook_ = std::move(hook);
}

void KernelHost::RunDelayHook() {
  std::function<void()> hook;
  {
    std::lock_guard lock(hookMutex_);
    hook = delayHook_;
  }
  if (hook) hook();
}

LONGLONG KernelHost::SystemTime() const {
  return systemTimeBase_.load() + LONGLONG(clock_.Now().count()) * 10000LL;
}

NTSTATUS KernelHost::LoadDriver(PDRIVER_INITIALIZE driverEntry) {
  if (DriverLoaded()) throw std::logic_error("the driver is already loaded");
  driverObject_ = std::make_unique<DRIVER_OBJECT>();
  *driverObject_ = DRIVER_OBJECT{};
  registryPath_ = u"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Services\\VORLANEX";
  UNICODE_STRING path = {USHORT(registryPath_.size() * 2), USHORT(registryPath_.size() * 2 + 2), registryPath_.data()};
  const NTSTATUS status = driverEntry(driverObject_.get(), &path);
  if (!NT_SUCCESS(status)) {
    // The kernel does not unload a driver whose start failed; what it left
    // registered is a fault of the driver.
    if (filterRegistered_) RecordViolation("driver start failed with the filter still registered");
    if (device_) RecordViolation("driver start failed with the control device still registered");
    driverObject_.reset();
    return status;
  }
  if (filterRegistered_ && !bindDuringRegistration_) BindAll();
  return status;
}

void KernelHost::UnloadDriver() {
  if (!DriverLoaded()) return;
  if (driverObject_->DriverUnload != nullptr) driverObject_->DriverUnload(driverObject_.get());
  if (filterRegistered_) RecordViolation("driver unloaded with the filter still registered");
  if (PendingDeviceRequests() != 0) RecordViolation("driver unloaded with control requests never completed");
  if (device_) RecordViolation("driver unloaded with the control device still registered");
  driverObject_.reset();
}

NDIS_HANDLE KernelHost::FilterDriverHandle() { return inner_.get(); }

NDIS_STATUS KernelHost::TakeSetAttributesFailure() {
  NDIS_STATUS status = failSetAttributes_;
  failSetAttributes_ = NDIS_STATUS_SUCCESS;
  return status;
}

EmulatedAdapter& KernelHost::AddAdapter(const AdapterConfig& config, bool bindAtOnce) {
  EmulatedAdapter* adapter;
  {
    std::lock_guard lock(adaptersMutex_);
    adapters_.push_back(std::make_unique<EmulatedAdapter>(*this, config));
    adapter = adapters_.back().get();
  }
  if (filterRegistered_ && bindAtOnce && Attach(*adapter) == NDIS_STATUS_SUCCESS) Restart(*adapter);
  return *adapter;
}

void KernelHost::RemoveAdapter(EmulatedAdapter& adapter) {
  if (adapter.HostState() == EmulatedAdapter::ModuleState::Running) Pause(adapter);
  if (adapter.HostState() == EmulatedAdapter::ModuleState::Paused) Detach(adapter);
  std::lock_guard lock(adaptersMutex_);
  adapters_.erase(std::remove_if(adapters_.begin(), adapters_.end(),
                                 [&](const std::unique_ptr<EmulatedAdapter>& a) { return a.get() == &adapter; }),
                  adapters_.end());
}

std::vector<EmulatedAdapter*> KernelHost::Adapters() {
  std::lock_guard lock(adaptersMutex_);
  std::vector<EmulatedAdapter*> list;
  for (auto& adapter : adapters_) list.push_back(adapter.get());
  return list;
}

NDIS_STATUS KernelHost::Attach(EmulatedAdapter& adapter) {
  if (!filterRegistered_ || adapter.HostState() != EmulatedAdapter::ModuleState::Detached) {
    throw std::logic_error("attach needs a registered filter and a detached adapter");
  }
  const AdapterConfig& config = adapter.Config();
  NDIS_FILTER_ATTACH_PARAMETERS parameters = {};
  parameters.Header = {NDIS_OBJECT_TYPE_FILTER_ATTACH_PARAMETERS, 1, USHORT(sizeof parameters)};
  parameters.BaseMiniportName = const_cast<PNDIS_STRING>(adapter.DeviceName());
  parameters.MiniportMediaType = config.medium;
  parameters.MtuSize = config.mtu;
  parameters.MacAddressLength = USHORT(std::min<std::size_t>(config.macAddress.size(), NDIS_MAX_PHYS_ADDRESS_LENGTH));
  std::copy_n(config.macAddress.begin(), parameters.MacAddressLength, parameters.CurrentMacAddress);
  std::copy_n(config.macAddress.begin(), parameters.MacAddressLength, parameters.PermanentMacAddress);

  adapter.SetPendingContext(nullptr);
  const NDIS_STATUS status = characteristics_.AttachHandler(&adapter, filterDriverContext_, &parameters);
  if (status == NDIS_STATUS_SUCCESS) {
    if (adapter.PendingContext() == nullptr) RecordViolation("attach succeeded without NdisFSetAttributes");
    adapter.BindModule(adapter.PendingContext());
    adapter.SetHostState(EmulatedAdapter::ModuleState::Paused);
  }
  return status;
}

NDIS_STATUS KernelHost::Restart(EmulatedAdapter& adapter, bool withAttributes) {
  if (adapter.HostState() != EmulatedAdapter::ModuleState::Paused) throw std::logic_error("restart of a module that is not paused");
  NDIS_FILTER_RESTART_PARAMETERS parameters = {};
  parameters.Header = {NDIS_OBJECT_TYPE_FILTER_RESTART_PARAMETERS, 1, USHORT(sizeof parameters)};
  parameters.MiniportMediaType = adapter.Config().medium;
  // The attribute carries the general restart attributes in its data.
  struct alignas(16) AttributeBlock {
    NDIS_RESTART_ATTRIBUTES attribute;
    NDIS_RESTART_GENERAL_ATTRIBUTES general;
  };
  static_assert(offsetof(NDIS_RESTART_ATTRIBUTES, Data) + sizeof(NDIS_RESTART_GENERAL_ATTRIBUTES) <= sizeof(AttributeBlock));
  auto block = std::make_unique<unsigned char[]>(sizeof(AttributeBlock) + 64);
  auto* attribute = reinterpret_cast<PNDIS_RESTART_ATTRIBUTES>(block.get());
  auto* general = reinterpret_cast<PNDIS_RESTART_GENERAL_ATTRIBUTES>(attribute->Data);
  if (withAttributes) {
    *attribute = {};
    attribute->Oid = 0x0001FFFF;  // general attributes
    attribute->DataLength = sizeof(NDIS_RESTART_GENERAL_ATTRIBUTES);
    *general = {};
    general->Header = {NDIS_OBJECT_TYPE_RESTART_GENERAL_ATTRIBUTES, 1, USHORT(sizeof *general)};
    general->MtuSize = adapter.Config().mtu;
    general->LookaheadSize = adapter.Config().mtu;
    general->MaxXmitLinkSpeed = general->MaxRcvLinkSpeed = 1000000000ULL;
    parameters.RestartAttributes = attribute;
  }
  adapter.SetHostState(EmulatedAdapter::ModuleState::Restarting);
  const NDIS_STATUS status = characteristics_.RestartHandler(adapter.ModuleContext(), &parameters);
  if (status == NDIS_STATUS_SUCCESS) {
    adapter.SetHostState(EmulatedAdapter::ModuleState::Running);
    if (withAttributes) adapter.NoteAttributesSeenAbove(*general);
  } else {
    adapter.SetHostState(EmulatedAdapter::ModuleState::Paused);
  }
  return status;
}

NDIS_STATUS KernelHost::Pause(EmulatedAdapter& adapter) {
  if (adapter.HostState() != EmulatedAdapter::ModuleState::Running) throw std::logic_error("pause of a module that is not running");
  NDIS_FILTER_PAUSE_PARAMETERS parameters = {};
  parameters.Header = {NDIS_OBJECT_TYPE_FILTER_PAUSE_PARAMETERS, 1, USHORT(sizeof parameters)};
  adapter.SetHostState(EmulatedAdapter::ModuleState::Pausing);
  const NDIS_STATUS status = characteristics_.PauseHandler(adapter.ModuleContext(), &parameters);
  adapter.SetHostState(EmulatedAdapter::ModuleState::Paused);
  if (adapter.ListsAtMiniport() != 0) RecordViolation("pause completed with driver lists still at the miniport");
  return status;
}

void KernelHost::Detach(EmulatedAdapter& adapter) {
  if (adapter.HostState() != EmulatedAdapter::ModuleState::Paused) throw std::logic_error("detach of a module that is not paused");
  std::unique_lock gate(adapter.Gate());
  adapter.DropHeldOidRequests();
  characteristics_.DetachHandler(adapter.ModuleContext());
  adapter.UnbindModule();
  adapter.SetHostState(EmulatedAdapter::ModuleState::Detached);
}

void KernelHost::BindAll() {
  for (EmulatedAdapter* adapter : Adapters()) {
    if (adapter->HostState() == EmulatedAdapter::ModuleState::Detached && Attach(*adapter) == NDIS_STATUS_SUCCESS) {
      Restart(*adapter);
    }
  }
}

void KernelHost::UnbindAll() {
  for (EmulatedAdapter* adapter : Adapters()) {
    if (adapter->HostState() == EmulatedAdapter::ModuleState::Running) Pause(*adapter);
    if (adapter->HostState() == EmulatedAdapter::ModuleState::Paused) Detach(*adapter);
  }
}

PKEVENT KernelHost::CreateEvent() {
  std::lock_guard lock(inner_->mutex);
  auto object = std::make_unique<HostEventObject>();
  KeInitializeEvent(&object->event, NotificationEvent, FALSE);
  PKEVENT event = &object->event;
  inner_->events.insert(object.get());
  inner_->eventStorage.push_back(std::move(object));
  return event;
}

PKEVENT KernelHost::CreateEventfdEvent(int eventFd) {
  PKEVENT event = CreateEvent();
  EventObjectOf(event)->signalFd = eventFd;
  return event;
}

void KernelHost::CloseEvent(PKEVENT event) { ObfDereferenceObject(event); }

long KernelHost::EventSignals(PKEVENT event) const { return EventObjectOf(event)->signals.load(); }

long KernelHost::EventReferences(PKEVENT event) const { return EventObjectOf(event)->references.load(); }

void KernelHost::RecordViolation(const std::string& what) {
  std::lock_guard lock(violationsMutex_);
  violations_.push_back(what);
}

std::vector<std::string> KernelHost::Violations() const {
  std::lock_guard lock(violationsMutex_);
  return violations_;
}

struct KernelHost::HostDeviceRequest {
  IRP irp = {};
  IO_STACK_LOCATION location = {};
  FILE_OBJECT file = {};
  std::vector<std::uint8_t> systemBuffer;
  std::size_t inputLength = 0;
  ULONG outputLength = 0;
  std::uint64_t id = 0;
  bool dispatchReturned = false;
  bool completed = false;
  NTSTATUS status = STATUS_SUCCESS;
  ULONG_PTR information = 0;
};

KernelHost::DeviceRequestResult KernelHost::SendDeviceRequest(UCHAR majorFunction, ULONG controlCode,
                                                              const std::vector<std::uint8_t>& input,
                                                              ULONG outputLength, bool withFileObject,
                                                              Requester* requester) {
  if (!device_) throw std::logic_error("no control device registered");
  PDRIVER_DISPATCH dispatch = device_->majorFunctions[majorFunction];
  if (dispatch == nullptr) throw std::logic_error("no dispatch routine for this request");

  auto owned = std::make_unique<HostDeviceRequest>();
  HostDeviceRequest& request = *owned;
  request.systemBuffer.assign(std::max<std::size_t>(input.size(), outputLength), kStaleBufferByte);
  std::copy(input.begin(), input.end(), request.systemBuffer.begin());
  request.inputLength = input.size();
  request.outputLength = outputLength;
  request.file.DeviceObject = device_->deviceObject;
  request.location.MajorFunction = majorFunction;
  request.location.Parameters.DeviceIoControl.IoControlCode = controlCode;
  request.location.Parameters.DeviceIoControl.InputBufferLength = ULONG(input.size());
  request.location.Parameters.DeviceIoControl.OutputBufferLength = outputLength;
  request.location.DeviceObject = device_->deviceObject;
  request.location.FileObject = withFileObject ? &request.file : nullptr;
  request.irp.RequestorMode = UserMode;
  request.irp.AssociatedIrp.SystemBuffer = request.systemBuffer.empty() ? nullptr : request.systemBuffer.data();
  request.irp.Tail.Overlay.CurrentStackLocation = &request.location;
  PIRP irp = &request.irp;
  {
    std::lock_guard lock(completionMutex_);
    request.id = nextRequestId_++;
    requests_[irp] = std::move(owned);
  }

  NTSTATUS returned;
  {
    RequesterScope scope(requester != nullptr ? requester : &caller_);
    returned = dispatch(device_->deviceObject, irp);
  }

  std::lock_guard lock(completionMutex_);
  request.dispatchReturned = true;
  completionChanged_.notify_all();
  const bool markedPending = (request.location.Control & SL_PENDING_RETURNED) != 0;
  if (markedPending && returned != STATUS_PENDING) {
    RecordViolation("dispatch routine marked its request pending but returned another status");
  }
  if (returned == STATUS_PENDING && !markedPending) {
    RecordViolation("dispatch routine returned STATUS_PENDING without marking its request pending");
  }
  if (!markedPending && !request.completed) {
    RecordViolation("dispatch routine returned without completing its request or marking it pending");
  }
  if (!markedPending && request.completed && returned != request.status) {
    RecordViolation("dispatch routine returned a status other than the one it completed the request with");
  }
  DeviceRequestResult result;
  result.returned = returned;
  result.id = request.id;
  if (!request.completed) {
    result.pending = true;
    return result;
  }
  result.completed = true;
  result.status = request.status;
  result.information = request.information;
  result.buffer = std::move(request.systemBuffer);
  requests_.erase(irp);
  return result;
}

std::optional<KernelHost::DeviceRequestResult> KernelHost::CompletedRequest(std::uint64_t id) {
  std::lock_guard lock(completionMutex_);
  for (auto it = requests_.begin(); it != requests_.end(); ++it) {
    HostDeviceRequest& request = *it->second;
    if (request.id != id || !request.completed || !request.dispatchReturned) continue;
    DeviceRequestResult result;
    result.returned = STATUS_PENDING;
    result.completed = true;
    result.id = id;
    result.status = request.status;
    result.information = request.information;
    result.buffer = std::move(request.systemBuffer);
    requests_.erase(it);
    return result;
  }
  return std::nullopt;
}

KernelHost::DeviceRequestResult KernelHost::AwaitCompletedRequest(std::uint64_t id) {
  {
    std::unique_lock lock(completionMutex_);
    completionChanged_.wait(lock, [&] {
      for (const auto& [irp, request] : requests_) {
        if (request->id == id) return request->completed && request->dispatchReturned;
      }
      return true;  // taken already
    });
  }
  if (std::optional<DeviceRequestResult> result = CompletedRequest(id)) return *result;
  DeviceRequestResult gone;
  gone.id = id;
  gone.returned = STATUS_PENDING;
  return gone;
}

std::size_t KernelHost::PendingDeviceRequests() const {
  std::lock_guard lock(completionMutex_);
  return requests_.size();
}

void KernelHost::NoteCompletion(PIRP irp) {
  std::lock_guard lock(completionMutex_);
  auto it = requests_.find(irp);
  if (it == requests_.end()) {
    RecordViolation("completion of a request the host did not send");
    return;
  }
  HostDeviceRequest& request = *it->second;
  if (request.completed) {
    RecordViolation("request completed twice");
    return;
  }
  request.completed = true;
  request.status = irp->IoStatus.Status;
  request.information = irp->IoStatus.Information;
  if (request.information > request.outputLength) {
    RecordViolation("request completed with more bytes than the caller's output length");
  }
  completionChanged_.notify_all();
}

}  // namespace zl::ndishost
