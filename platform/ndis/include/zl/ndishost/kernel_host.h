// The user-space kernel host: runs the packet filter driver's sources on Linux
// by implementing the kernel and NDIS functions of <ndis.h>, and serves as the
// driver's test bench.
//
// One KernelHost exists at a time in a process (the kernel functions reach it
// through a process-wide pointer); each test makes its own. The host owns:
//  - pool memory with per-tag accounting (a tag still holding allocations when
//    the driver has unloaded is a leak) and failure injection per tag;
//  - the driver's parameter provider behind RtlQueryRegistryValues;
//  - the filter registration and the device registration of the loaded driver;
//  - emulated adapters: each has a miniport below the filter and a protocol
//    stack above it, so a test can send frames down from the stack, receive
//    frames up from the miniport, and see what reaches each side;
//  - a record of protocol violations (a list handed to the wrong owner, a tag
//    that does not match its allocation, ...) that tests expect to stay empty.
//
// Pauses (KeDelayExecutionThread) run on the host's zl::Clock; with a virtual
// clock they take no wall time, and a delay hook lets a test make progress
// (for example complete held sends) while the driver waits.
#pragma once

#include <ndis.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "shared/support/clock.h"
#include "zl/ndishost/emulated_adapter.h"
#include "zl/ndishost/host_registry.h"
#include "zl/ndishost/pool_accounting.h"
#include "zl/ndishost/requester.h"

namespace zl::ndishost {

// Tags as they read in memory ("NdRd"), the way the kernel's pool tools show them.
constexpr ULONG TagFromText(const char (&text)[5]) {
  return ULONG(std::uint8_t(text[0])) | ULONG(std::uint8_t(text[1])) << 8 |
         ULONG(std::uint8_t(text[2])) << 16 | ULONG(std::uint8_t(text[3])) << 24;
}

// The control device the driver registered.
struct DeviceRegistration {
  std::u16string deviceName;
  std::u16string symbolicName;
  PDRIVER_DISPATCH majorFunctions[IRP_MJ_MAXIMUM_FUNCTION + 1] = {};
  NDIS_OBJECT_HEADER header = {};
  bool hasSecurityDescriptor = false;
  bool hasClassGuid = false;
  DEVICE_OBJECT* deviceObject = nullptr;
};

class KernelHost {
 public:
  explicit KernelHost(zl::Clock& clock);
  ~KernelHost();
  KernelHost(const KernelHost&) = delete;
  KernelHost& operator=(const KernelHost&) = delete;

  static KernelHost& Current();

  zl::Clock& Clock() { return clock_; }
  PoolAccounting& Pools() { return pools_; }
  HostRegistry& Registry() { return registry_; }

  // Called on every KeDelayExecutionThread after the clock has moved on.
  void SetDelayHook(std::function<void()> hook);
  void RunDelayHook();

  // System time (100 ns units since 1601-01-01 UTC) at monotonic time 0 of the
  // clock; KeQuerySystemTime adds the clock's progress to it.
  void SetSystemTimeBase(LONGLONG ticksSince1601) { systemTimeBase_ = ticksSince1601; }
  LONGLONG SystemTime() const;

  // --- driver ---------------------------------------------------------------
  // Calls the driver's entry point with a fresh driver object and the service's
  // registry path; on success binds the filter to every adapter (attach, restart).
  NTSTATUS LoadDriver(PDRIVER_INITIALIZE driverEntry);
  // Calls the driver's unload routine; afterwards the driver's pool tags must be
  // back at zero (see Pools()).
  void UnloadDriver();
  bool DriverLoaded() const { return driverObject_ != nullptr; }
  DRIVER_OBJECT* DriverObject() { return driverObject_.get(); }

  bool FilterRegistered() const { return filterRegistered_; }
  const NDIS_FILTER_DRIVER_CHARACTERISTICS& Characteristics() const { return characteristics_; }
  const std::u16string& FriendlyName() const { return friendlyName_; }
  const std::u16string& UniqueName() const { return uniqueName_; }
  const std::u16string& ServiceName() const { return serviceName_; }
  NDIS_HANDLE FilterDriverContext() const { return filterDriverContext_; }
  NDIS_HANDLE FilterDriverHandle();
  // The status the set-options handler answered during registration.
  NDIS_STATUS SetOptionsStatus() const { return setOptionsStatus_; }
  // Make the next registration call fail with the given status (0: succeed).
  void FailFilterRegistration(NDIS_STATUS status) { failRegistration_ = status; }
  void FailDeviceRegistration(NDIS_STATUS status) { failDeviceRegistration_ = status; }
  void FailNblPoolAllocation(bool fail) { failNblPool_ = fail; }
  void FailNblAllocation(bool fail) { failNblAllocation_ = fail; }
  bool NblPoolAllocationFails() const { return failNblPool_.load(); }
  bool NblAllocationFails() const { return failNblAllocation_.load(); }

  const DeviceRegistration* Device() const { return device_.get(); }
  // When set, registration attaches and restarts every adapter before it returns,
  // as NDIS may do, so that modules run before the driver's start has finished.
  void BindDuringRegistration(bool bind) { bindDuringRegistration_ = bind; }
  // Runs right after those modules have started, still inside the registration.
  void SetRegistrationBindHook(std::function<void()> hook) { registrationBindHook_ = std::move(hook); }
  // The next NdisFSetAttributes fails with this status (0: succeed).
  void FailSetAttributes(NDIS_STATUS status) { failSetAttributes_ = status; }
  NDIS_STATUS TakeSetAttributesFailure();

  // Sends one request to the control device through its dispatch table, as the
  // I/O manager would (METHOD_BUFFERED: one system buffer of the larger of input
  // and output length; the bytes behind the input hold stale pool contents, not
  // zeros). The requester is current while the dispatch routine runs; by default
  // it is Caller(). A request the driver leaves pending is kept until it
  // completes; CompletedRequest then answers for it.
  struct DeviceRequestResult {
    NTSTATUS returned = STATUS_SUCCESS;
    bool completed = false;
    bool pending = false;  // the dispatch routine returned STATUS_PENDING without completing
    std::uint64_t id = 0;  // names a pending request
    NTSTATUS status = STATUS_SUCCESS;
    ULONG_PTR information = 0;
    std::vector<std::uint8_t> buffer;
  };
  DeviceRequestResult SendDeviceRequest(UCHAR majorFunction, ULONG controlCode,
                                        const std::vector<std::uint8_t>& input, ULONG outputLength,
                                        bool withFileObject = true, Requester* requester = nullptr);
  // The result of a request that was pending, once it has completed.
  std::optional<DeviceRequestResult> CompletedRequest(std::uint64_t id);
  // Blocks until the pending request completes and answers for it (a request
  // already taken answers with completed false).
  DeviceRequestResult AwaitCompletedRequest(std::uint64_t id);
  std::size_t PendingDeviceRequests() const;
  void NoteCompletion(PIRP irp);
  static constexpr std::uint8_t kStaleBufferByte = 0xCD;
  CallerProcess& Caller() { return caller_; }

  // --- adapters -------------------------------------------------------------
  // Adds an adapter; when the filter is registered and bindAtOnce is set, a module
  // is attached above it and restarted.
  EmulatedAdapter& AddAdapter(const AdapterConfig& config, bool bindAtOnce = true);
  // Pauses and detaches the adapter's module (if any) and removes the adapter.
  void RemoveAdapter(EmulatedAdapter& adapter);
  std::vector<EmulatedAdapter*> Adapters();

  // Module lifecycle steps as NDIS drives them; each returns the handler's status.
  NDIS_STATUS Attach(EmulatedAdapter& adapter);
  NDIS_STATUS Restart(EmulatedAdapter& adapter, bool withAttributes = true);
  NDIS_STATUS Pause(EmulatedAdapter& adapter);
  void Detach(EmulatedAdapter& adapter);

  // --- events ----------------------------------------------------------------
  // An event object as a client's handle would name it: one reference held by
  // the test; the driver takes and drops its own.
  PKEVENT CreateEvent();
  // An event of another process, reached through the host's copy of its
  // eventfd: every signal also writes the eventfd. The object owns the
  // descriptor and closes it when its last reference goes.
  PKEVENT CreateEventfdEvent(int eventFd);
  void CloseEvent(PKEVENT event);
  long EventSignals(PKEVENT event) const;
  long EventReferences(PKEVENT event) const;

  // --- violations --------------------------------------------------------------
  void RecordViolation(const std::string& what);
  std::vector<std::string> Violations() const;

  // Internal: the NBL pool objects and module bindings, used by the host's
  // implementation of the NDIS functions.
  struct Internals;
  Internals& Inner() { return *inner_; }

 private:
  void BindAll();
  void UnbindAll();

  zl::Clock& clock_;
  PoolAccounting pools_;
  HostRegistry registry_;
  std::unique_ptr<Internals> inner_;
  std::atomic<LONGLONG> systemTimeBase_{0};

  std::mutex hookMutex_;
  std::function<void()> delayHook_;

  std::unique_ptr<DRIVER_OBJECT> driverObject_;
  std::u16string registryPath_;
  bool filterRegistered_ = false;
  NDIS_FILTER_DRIVER_CHARACTERISTICS characteristics_ = {};
  std::u16string friendlyName_, uniqueName_, serviceName_;
  NDIS_HANDLE filterDriverContext_ = nullptr;
  NDIS_STATUS setOptionsStatus_ = NDIS_STATUS_SUCCESS;
  NDIS_STATUS failRegistration_ = NDIS_STATUS_SUCCESS;
  NDIS_STATUS failDeviceRegistration_ = NDIS_STATUS_SUCCESS;
  std::atomic<bool> failNblPool_{false};
  std::atomic<bool> failNblAllocation_{false};
  bool bindDuringRegistration_ = false;
  std::function<void()> registrationBindHook_;
  NDIS_STATUS failSetAttributes_ = NDIS_STATUS_SUCCESS;
  struct HostDeviceRequest;
  mutable std::mutex completionMutex_;
  std::condition_variable completionChanged_;
  std::map<PIRP, std::unique_ptr<HostDeviceRequest>> requests_;
  std::uint64_t nextRequestId_ = 1;
  CallerProcess caller_;
  std::unique_ptr<DeviceRegistration> device_;
  std::unique_ptr<DEVICE_OBJECT> deviceObject_;

  std::mutex adaptersMutex_;
  std::vector<std::unique_ptr<EmulatedAdapter>> adapters_;

  mutable std::mutex violationsMutex_;
  std::vector<std::string> violations_;

  friend struct HostAccess;
};

}  // namespace zl::ndishost
