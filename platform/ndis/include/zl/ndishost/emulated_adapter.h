// One network adapter of the kernel host: an emulated miniport below the filter
// module and an emulated protocol stack above it.
//
// A test sends chains of frame lists down from the stack and indicates chains up
// from the miniport, shaped as it likes (several lists, several frames per list,
// frames split across descriptors, a descriptor chain shorter than the data
// length, loopback and resources flags), and then sees exactly what reached each
// side, and which lists came back to their owner with which status.
//
// Lists of the stack and of the miniport are built by the host; every one must
// come back to its owner exactly once (completed to the stack, returned to the
// miniport), and lists of the driver's own pool must never stay with the
// protocols beyond an indication with the resources flag. Anything else is
// recorded as a violation of the host (KernelHost::Violations()).
//
// All calls may come from several threads at once.
#pragma once

#include <ndis.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <shared_mutex>
#include <string>
#include <vector>

namespace zl::ndishost {

class KernelHost;

struct AdapterConfig {
  // The base miniport's device name, a path under \DEVICE\ ending in the GUID.
  std::string deviceName = "\\DEVICE\\{00000000-0000-0000-0000-000000000000}";
  NDIS_MEDIUM medium = NdisMedium802_3;
  std::vector<std::uint8_t> macAddress = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
  ULONG mtu = 1500;  // reported in the restart attributes
};

struct FrameShape {
  std::vector<std::uint8_t> bytes;
  // Sizes of the descriptors the bytes are split into; empty means one.
  // A last size that leaves bytes over drops them (a chain shorter than the data).
  std::vector<std::size_t> descriptorSizes;
  // Bytes of the first descriptor in front of the frame (the current-descriptor offset).
  std::size_t leadingBytes = 0;
  // The net buffer's data length; by default the frame's size.
  std::optional<ULONG> dataLength;
  // Descriptors without a system mapping: need MmMapLockedPagesSpecifyCache.
  bool needsMapping = false;
  // Descriptors that cannot be mapped at all.
  bool unmappable = false;
};

struct ListShape {
  std::vector<FrameShape> frames;
  bool loopback = false;
  ULONG ieee8021q = 0;
  USHORT frameType = 0;  // NetBufferListFrameType as stored (network byte order)
};

// One frame as it arrived at the miniport or at the protocols.
struct DeliveredFrame {
  std::vector<std::uint8_t> bytes;
  ULONG ieee8021q = 0;
  USHORT frameType = 0;
  ULONG nblFlags = 0;
  bool fromDriverPool = false;  // a list of the filter driver's own pool
  NDIS_HANDLE sourceHandle = nullptr;
  NDIS_PORT_NUMBER port = 0;
  ULONG flags = 0;  // send flags at the miniport, receive flags at the protocols
};

// A status indication as it reached the protocols, its buffer as they left it.
struct StatusSeen {
  NDIS_STATUS code = 0;
  std::vector<std::uint8_t> buffer;
};

// An OID request of the protocols completed by NdisFOidRequestComplete.
struct StackOidCompletion {
  PNDIS_OID_REQUEST request = nullptr;
  NDIS_STATUS status = 0;
};

struct OidRequestSeen {
  NDIS_REQUEST_TYPE type = NdisRequestQueryInformation;
  NDIS_OID oid = 0;
  std::vector<std::uint8_t> data;
  bool completedAsync = false;
};

class EmulatedAdapter {
 public:
  EmulatedAdapter(KernelHost& host, AdapterConfig config);
  ~EmulatedAdapter();
  EmulatedAdapter(const EmulatedAdapter&) = delete;
  EmulatedAdapter& operator=(const EmulatedAdapter&) = delete;

  const AdapterConfig& Config() const { return config_; }
  // The driver's context of the module above this adapter, or null.
  NDIS_HANDLE ModuleContext() const;
  bool Bound() const { return bound_.load(); }

  // --- traffic ---------------------------------------------------------------
  // The protocols send one chain down. Without a module the miniport gets it directly.
  void SendFromStack(const std::vector<ListShape>& chain, ULONG sendFlags = 0);
  // The miniport indicates one chain up. Without the resources flag the lists
  // stay out until they are returned; with it they must be left alone.
  void ReceiveFromMiniport(const std::vector<ListShape>& chain, ULONG receiveFlags = 0);

  // Runs whenever a frame reaches the miniport or the protocols, before the
  // call that carried it returns (a test looks at the driver's state then).
  void SetArrivalHook(std::function<void()> hook);

  // With recording off (benchmarks) frames are only counted, not kept.
  void SetRecording(bool record) { recording_ = record; }
  long MiniportFrameCount() const { return miniportFrameCount_.load(); }
  long StackFrameCount() const { return stackFrameCount_.load(); }

  std::vector<DeliveredFrame> TakeMiniportFrames();
  std::vector<DeliveredFrame> TakeStackFrames();
  // Statuses with which the stack's lists came back, in order of completion.
  std::vector<NDIS_STATUS> TakeSendCompletions();
  ULONG LastSendCompleteFlags() const { return lastSendCompleteFlags_.load(); }
  ULONG LastReturnFlags() const { return lastReturnFlags_.load(); }

  long StackListsOutstanding() const { return stackOutstanding_.load(); }
  long MiniportListsOutstanding() const { return miniportOutstanding_.load(); }
  long MiniportListsReturned() const { return miniportReturned_.load(); }
  long ListsAtMiniport() const { return heldAtMiniport_.load(); }

  // The general restart attributes as the filter passed them up at the last
  // restart with attributes (what the protocols above see).
  std::optional<NDIS_RESTART_GENERAL_ATTRIBUTES> AttributesSeenAbove() const;

  // The miniport completes sends at once (default) or holds them until released.
  void HoldSends(bool hold);
  std::size_t CompleteHeldSends();

  // --- OID requests, PnP, cancel ----------------------------------------------
  // The miniport's answer to OID requests; by default success with every byte
  // read or written.
  void SetOidResponder(std::function<NDIS_STATUS(NDIS_OID_REQUEST&)> responder);
  // Requests pend at the miniport until completed.
  void HoldOidRequests(bool hold);
  std::size_t CompleteHeldOidRequests(NDIS_STATUS status);
  std::vector<OidRequestSeen> TakeOidRequests();

  // Answers held requests with the answer (its status is the completion status).
  std::size_t CompleteHeldOidRequestsWith(const std::function<NDIS_STATUS(NDIS_OID_REQUEST&)>& answer);
  // Identifiers of the cancellations that reached the miniport; a held request
  // with that identifier completes with NDIS_STATUS_REQUEST_ABORTED.
  std::vector<PVOID> TakeOidCancelIds();

  // The protocols send an OID request down (through the module if one is bound).
  // Answers what the handler answered; a pending request is completed later by
  // NdisFOidRequestComplete (see TakeStackOidCompletions). The request must stay
  // alive until it has completed.
  NDIS_STATUS OidRequestFromStack(NDIS_OID_REQUEST& request);
  void CancelOidRequestFromStack(PVOID requestId);
  std::vector<StackOidCompletion> TakeStackOidCompletions();
  long StackOidRequestsOutstanding() const;

  // The miniport indicates a status up; the protocols see it (TakeStatusIndications)
  // after the status hook, which stands for their handling, has run on it.
  void IndicateStatusFromMiniport(NDIS_STATUS_INDICATION& indication);
  void SetStatusHook(std::function<void(NDIS_STATUS_INDICATION&)> hook);
  std::vector<StatusSeen> TakeStatusIndications();

  void DeliverDevicePnPEvent(NET_DEVICE_PNP_EVENT& event);
  NDIS_STATUS DeliverNetPnPEvent(NET_PNP_EVENT_NOTIFICATION& event);
  void CancelSend(PVOID cancelId);
  void SetNetPnPAnswer(NDIS_STATUS status) { netPnPAnswer_ = status; }
  std::vector<ULONG> TakeDevicePnPEvents();
  std::vector<ULONG> TakeNetPnPEvents();
  std::vector<PVOID> TakeCancelIds();

  // --- host internals (used by the NDIS functions of the host) ----------------
  void BindModule(NDIS_HANDLE context);
  void UnbindModule();
  std::shared_mutex& Gate() { return gate_; }
  void MiniportSend(PNET_BUFFER_LIST chain, NDIS_PORT_NUMBER port, ULONG flags);
  void StackCompleteSends(PNET_BUFFER_LIST chain, ULONG flags);
  void StackIndicate(PNET_BUFFER_LIST chain, NDIS_PORT_NUMBER port, ULONG count, ULONG flags);
  void MiniportReturn(PNET_BUFFER_LIST chain, ULONG flags);
  NDIS_STATUS MiniportOidRequest(PNDIS_OID_REQUEST request);
  void ForwardedDevicePnP(PNET_DEVICE_PNP_EVENT event);
  NDIS_STATUS ForwardedNetPnP(PNET_PNP_EVENT_NOTIFICATION event);
  void ForwardedCancel(PVOID cancelId);
  void StackOidRequestComplete(PNDIS_OID_REQUEST request, NDIS_STATUS status);
  void StackStatus(PNDIS_STATUS_INDICATION indication);
  void MiniportCancelOidRequest(PVOID requestId);
  void DropHeldOidRequests();
  void NoteAttributesSeenAbove(const NDIS_RESTART_GENERAL_ATTRIBUTES& attributes);
  void SetPendingContext(NDIS_HANDLE context) { pendingContext_ = context; }
  NDIS_HANDLE PendingContext() const { return pendingContext_; }
  const UNICODE_STRING* DeviceName() const { return &deviceNameString_; }
  enum class ModuleState { Detached, Paused, Restarting, Running, Pausing };
  ModuleState HostState() const { return hostState_.load(); }
  void SetHostState(ModuleState state) { hostState_ = state; }

 private:
  struct HostChain;
  PNET_BUFFER_LIST BuildChain(const std::vector<ListShape>& chain, int ownerTag, HostChain*& owner);
  void ReleaseList(PNET_BUFFER_LIST list);
  static DeliveredFrame ReadFrame(PNET_BUFFER nb, PNET_BUFFER_LIST list, NDIS_HANDLE driverPool);
  void CompleteToFilter(PNET_BUFFER_LIST chain);
  // A paused or detached module must not send or indicate lists of its own.
  void NoteDriverListWhileStopped(PNET_BUFFER_LIST chain, const char* what);

  KernelHost& host_;
  AdapterConfig config_;
  std::u16string deviceName16_;
  UNICODE_STRING deviceNameString_ = {};
  NDIS_HANDLE pendingContext_ = nullptr;
  std::atomic<ModuleState> hostState_{ModuleState::Detached};
  std::optional<NDIS_RESTART_GENERAL_ATTRIBUTES> attributesSeenAbove_;
  std::atomic<NDIS_HANDLE> moduleContext_{nullptr};
  std::atomic<bool> bound_{false};
  std::shared_mutex gate_;  // deliveries hold it shared; detach holds it alone

  mutable std::mutex mutex_;
  std::vector<DeliveredFrame> miniportFrames_;
  std::vector<DeliveredFrame> stackFrames_;
  std::vector<NDIS_STATUS> sendCompletions_;
  std::deque<PNET_BUFFER_LIST> heldSends_;
  bool holdSends_ = false;
  std::function<NDIS_STATUS(NDIS_OID_REQUEST&)> oidResponder_;
  bool holdOids_ = false;
  std::deque<PNDIS_OID_REQUEST> heldOids_;
  std::vector<OidRequestSeen> oidRequests_;
  std::vector<ULONG> devicePnP_;
  std::vector<ULONG> netPnP_;
  std::vector<PVOID> cancelIds_;
  std::vector<PVOID> oidCancelIds_;
  std::set<PNDIS_OID_REQUEST> stackOidsOut_;
  std::set<PNDIS_OID_REQUEST> stackOidsCompleted_;
  std::vector<StackOidCompletion> stackOidCompletions_;
  std::function<void(NDIS_STATUS_INDICATION&)> statusHook_;
  std::vector<StatusSeen> statusIndications_;
  NDIS_STATUS netPnPAnswer_ = NDIS_STATUS_SUCCESS;

  std::function<void()> arrivalHook_;
  std::atomic<bool> recording_{true};
  std::atomic<long> miniportFrameCount_{0};
  std::atomic<long> stackFrameCount_{0};
  std::atomic<long> stackOutstanding_{0};
  std::atomic<long> miniportOutstanding_{0};
  std::atomic<long> miniportReturned_{0};
  std::atomic<long> heldAtMiniport_{0};
  std::atomic<ULONG> lastSendCompleteFlags_{0};
  std::atomic<ULONG> lastReturnFlags_{0};
};

}  // namespace zl::ndishost
