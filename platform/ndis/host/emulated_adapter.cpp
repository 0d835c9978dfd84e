#include "zl/ndishost/emulated_adapter.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "host_internals.h"
#include "zl/ndishost/kernel_host.h"

namespace zl::ndishost {

namespace {

// States of a list the stack or the miniport has handed out, kept in its owner's
// second reserved slot.
constexpr std::uintptr_t kListHome = 0;
constexpr std::uintptr_t kListOut = 1;
constexpr std::uintptr_t kListOutWithResources = 2;

enum class Owner { Stack, Miniport };

PVOID* OwnerSlots(PNET_BUFFER_LIST list, Owner owner) {
  return owner == Owner::Stack ? list->ProtocolReserved : list->MiniportReserved;
}

std::vector<PNET_BUFFER_LIST> ListsOf(PNET_BUFFER_LIST chain) {
  std::vector<PNET_BUFFER_LIST> lists;
  for (PNET_BUFFER_LIST list = chain; list != nullptr; list = NET_BUFFER_LIST_NEXT_NBL(list)) lists.push_back(list);
  return lists;
}

}  // namespace

// The memory of one chain the stack or the miniport built; freed when its last
// list has come home.
struct EmulatedAdapter::HostChain {
  std::vector<std::unique_ptr<NET_BUFFER_LIST>> lists;
  std::vector<std::unique_ptr<NET_BUFFER>> buffers;
  std::vector<std::unique_ptr<MDL>> descriptors;
  std::vector<std::vector<std::uint8_t>> memory;
  std::atomic<long> out{0};
};

EmulatedAdapter::EmulatedAdapter(KernelHost& host, AdapterConfig config) : host_(host), config_(std::move(config)) {
  deviceName16_.assign(config_.deviceName.begin(), config_.deviceName.end());
  deviceNameString_.Buffer = deviceName16_.data();
  deviceNameString_.Length = USHORT(deviceName16_.size() * sizeof(WCHAR));
  deviceNameString_.MaximumLength = deviceNameString_.Length;
}

EmulatedAdapter::~EmulatedAdapter() = default;

NDIS_HANDLE EmulatedAdapter::ModuleContext() const { return moduleContext_.load(); }

void EmulatedAdapter::BindModule(NDIS_HANDLE context) {
  moduleContext_ = context;
  bound_ = true;
}

void EmulatedAdapter::UnbindModule() {
  bound_ = false;
  moduleContext_ = nullptr;
}

std::optional<NDIS_RESTART_GENERAL_ATTRIBUTES> EmulatedAdapter::AttributesSeenAbove() const {
  std::lock_guard lock(mutex_);
  return attributesSeenAbove_;
}

void EmulatedAdapter::NoteAttributesSeenAbove(const NDIS_RESTART_GENERAL_ATTRIBUTES& attributes) {
  std::lock_guard lock(mutex_);
  attributesSeenAbove_ = attributes;
}

PNET_BUFFER_LIST EmulatedAdapter::BuildChain(const std::vector<ListShape>& shapes, int ownerTag, HostChain*& owner) {
  auto chain = std::make_unique<HostChain>();
  const Owner who = ownerTag == 0 ? Owner::Stack : Owner::Miniport;
  PNET_BUFFER_LIST head = nullptr;
  PNET_BUFFER_LIST* tail = &head;
  for (const ListShape& shape : shapes) {
    auto list = std::make_unique<NET_BUFFER_LIST>();
    *list = NET_BUFFER_LIST{};
    list->NdisPoolHandle = who == Owner::Stack ? &kStackPoolSentinel : &kMiniportPoolSentinel;
    if (shape.loopback) NdisSetNblFlag(list.get(), NDIS_NBL_FLAGS_IS_LOOPBACK_PACKET);
    NET_BUFFER_LIST_INFO(list.get(), Ieee8021QNetBufferListInfo) = reinterpret_cast<PVOID>(std::uintptr_t(shape.ieee8021q));
    NET_BUFFER_LIST_INFO(list.get(), NetBufferListFrameType) = reinterpret_cast<PVOID>(std::uintptr_t(shape.frameType));
    OwnerSlots(list.get(), who)[0] = chain.get();
    OwnerSlots(list.get(), who)[1] = reinterpret_cast<PVOID>(kListOut);

    PNET_BUFFER* nbTail = &list->FirstNetBuffer;
    for (const FrameShape& frame : shape.frames) {
      auto nb = std::make_unique<NET_BUFFER>();
      *nb = NET_BUFFER{};
      std::vector<std::size_t> sizes = frame.descriptorSizes;
      if (sizes.empty()) sizes.push_back(frame.bytes.size());
      std::size_t taken = 0;
      PMDL* mdlTail = &nb->MdlChain;
      for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::size_t part = std::min(sizes[i], frame.bytes.size() - taken);
        std::vector<std::uint8_t> memory(i == 0 ? frame.leadingBytes : 0, 0xEE);
        memory.insert(memory.end(), frame.bytes.begin() + long(taken), frame.bytes.begin() + long(taken + part));
        taken += part;
        const ULONG byteCount = ULONG(memory.size());
        if (memory.empty()) memory.push_back(0xEE);  // an empty descriptor still has an address
        auto mdl = std::make_unique<MDL>();
        *mdl = MDL{};
        mdl->StartVa = memory.data();
        mdl->ByteCount = byteCount;
        if (frame.unmappable) {
          mdl->Process = kUnmappablePages;
        } else if (!frame.needsMapping) {
          mdl->MappedSystemVa = memory.data();
          mdl->MdlFlags = MDL_MAPPED_TO_SYSTEM_VA;
        }
        *mdlTail = mdl.get();
        mdlTail = &mdl->Next;
        chain->memory.push_back(std::move(memory));
        chain->descriptors.push_back(std::move(mdl));
      }
      nb->CurrentMdl = nb->MdlChain;
      nb->CurrentMdlOffset = ULONG(frame.leadingBytes);
      nb->DataOffset = ULONG(frame.leadingBytes);
      nb->DataLength = frame.dataLength.value_or(ULONG(frame.bytes.size()));
      *nbTail = nb.get();
      nbTail = &nb->Next;
      chain->buffers.push_back(std::move(nb));
    }
    *tail = list.get();
    tail = &list->Next;
    chain->lists.push_back(std::move(list));
  }
  chain->out = long(chain->lists.size());
  owner = chain.release();
  return head;
}

// Reads a frame through its descriptors as a protocol or miniport would.
DeliveredFrame EmulatedAdapter::ReadFrame(PNET_BUFFER nb, PNET_BUFFER_LIST list, NDIS_HANDLE) {
  DeliveredFrame frame;
  frame.ieee8021q = ULONG(reinterpret_cast<std::uintptr_t>(NET_BUFFER_LIST_INFO(list, Ieee8021QNetBufferListInfo)));
  frame.frameType = USHORT(reinterpret_cast<std::uintptr_t>(NET_BUFFER_LIST_INFO(list, NetBufferListFrameType)));
  frame.nblFlags = NET_BUFFER_LIST_NBL_FLAGS(list);
  frame.fromDriverPool = IsDriverPool(list->NdisPoolHandle);
  frame.sourceHandle = list->SourceHandle;
  std::size_t remaining = NET_BUFFER_DATA_LENGTH(nb);
  std::size_t offset = NET_BUFFER_CURRENT_MDL_OFFSET(nb);
  for (PMDL mdl = NET_BUFFER_CURRENT_MDL(nb); mdl != nullptr && remaining > 0; mdl = mdl->Next) {
    if (mdl->Process == kUnmappablePages) break;
    const auto* start = static_cast<const std::uint8_t*>(mdl->StartVa) + mdl->ByteOffset;
    if (offset >= mdl->ByteCount) {
      offset -= mdl->ByteCount;
      continue;
    }
    const std::size_t n = std::min<std::size_t>(remaining, mdl->ByteCount - offset);
    frame.bytes.insert(frame.bytes.end(), start + offset, start + offset + n);
    remaining -= n;
    offset = 0;
  }
  return frame;
}

void EmulatedAdapter::ReleaseList(PNET_BUFFER_LIST list) {
  const Owner who = list->NdisPoolHandle == &kStackPoolSentinel ? Owner::Stack : Owner::Miniport;
  auto* chain = static_cast<HostChain*>(OwnerSlots(list, who)[0]);
  OwnerSlots(list, who)[1] = reinterpret_cast<PVOID>(kListHome);
  if (chain->out.fetch_sub(1) == 1) delete chain;
}

void EmulatedAdapter::SendFromStack(const std::vector<ListShape>& shapes, ULONG sendFlags) {
  HostChain* owner = nullptr;
  PNET_BUFFER_LIST chain = BuildChain(shapes, 0, owner);
  if (chain == nullptr) {
    delete owner;
    return;
  }
  stackOutstanding_ += long(shapes.size());
  std::shared_lock gate(gate_);
  IrqlScope irql(NDIS_TEST_SEND_AT_DISPATCH_LEVEL(sendFlags));
  if (bound_) {
    host_.Characteristics().SendNetBufferListsHandler(ModuleContext(), chain, NDIS_DEFAULT_PORT_NUMBER, sendFlags);
  } else {
    MiniportSend(chain, NDIS_DEFAULT_PORT_NUMBER, sendFlags);
  }
}

void EmulatedAdapter::ReceiveFromMiniport(const std::vector<ListShape>& shapes, ULONG receiveFlags) {
  HostChain* owner = nullptr;
  PNET_BUFFER_LIST chain = BuildChain(shapes, 1, owner);
  if (chain == nullptr) {
    delete owner;
    return;
  }
  const bool resources = NDIS_TEST_RECEIVE_CANNOT_PEND(receiveFlags);
  const std::vector<PNET_BUFFER_LIST> lists = ListsOf(chain);
  if (resources) {
    for (PNET_BUFFER_LIST list : lists) list->MiniportReserved[1] = reinterpret_cast<PVOID>(kListOutWithResources);
  } else {
    miniportOutstanding_ += long(lists.size());
  }
  {
    std::shared_lock gate(gate_);
    IrqlScope irql(NDIS_TEST_RECEIVE_AT_DISPATCH_LEVEL(receiveFlags));
    if (bound_) {
      host_.Characteristics().ReceiveNetBufferListsHandler(ModuleContext(), chain, NDIS_DEFAULT_PORT_NUMBER,
                                                           ULONG(lists.size()), receiveFlags);
    } else {
      StackIndicate(chain, NDIS_DEFAULT_PORT_NUMBER, ULONG(lists.size()), receiveFlags);
    }
  }
  // With the resources flag the miniport owns its lists again once the call returns.
  if (resources) {
    for (PNET_BUFFER_LIST list : lists) ReleaseList(list);
  }
}

void EmulatedAdapter::NoteDriverListWhileStopped(PNET_BUFFER_LIST chain, const char* what) {
  const ModuleState state = hostState_.load();
  if (state != ModuleState::Paused && state != ModuleState::Detached) return;
  for (PNET_BUFFER_LIST list = chain; list != nullptr; list = NET_BUFFER_LIST_NEXT_NBL(list)) {
    if (IsDriverPool(list->NdisPoolHandle)) {
      host_.RecordViolation(std::string("driver list ") + what + " after the module's pause completed");
      return;
    }
  }
}

void EmulatedAdapter::MiniportSend(PNET_BUFFER_LIST chain, NDIS_PORT_NUMBER port, ULONG flags) {
  NoteDriverListWhileStopped(chain, "sent");
  std::vector<DeliveredFrame> frames;
  for (PNET_BUFFER_LIST list = chain; list != nullptr; list = NET_BUFFER_LIST_NEXT_NBL(list)) {
    for (PNET_BUFFER nb = NET_BUFFER_LIST_FIRST_NB(list); nb != nullptr; nb = NET_BUFFER_NEXT_NB(nb)) {
      ++miniportFrameCount_;
      if (!recording_) continue;
      DeliveredFrame frame = ReadFrame(nb, list, nullptr);
      frame.port = port;
      frame.flags = flags;
      frames.push_back(std::move(frame));
    }
  }
  bool hold;
  std::function<void()> hook;
  {
    // Recorded before the hook runs, as at the protocols, so the hook sees the frames.
    std::lock_guard lock(mutex_);
    for (auto& frame : frames) miniportFrames_.push_back(std::move(frame));
    hook = arrivalHook_;
  }
  if (hook) hook();
  {
    std::lock_guard lock(mutex_);
    hold = holdSends_;
    if (hold) {
      for (PNET_BUFFER_LIST list : ListsOf(chain)) {
        heldSends_.push_back(list);
        ++heldAtMiniport_;
      }
    }
  }
  if (!hold) CompleteToFilter(chain);
}

void EmulatedAdapter::CompleteToFilter(PNET_BUFFER_LIST chain) {
  for (PNET_BUFFER_LIST list = chain; list != nullptr; list = NET_BUFFER_LIST_NEXT_NBL(list)) {
    NET_BUFFER_LIST_STATUS(list) = NDIS_STATUS_SUCCESS;
  }
  const ULONG flags = KeGetCurrentIrql() == DISPATCH_LEVEL ? NDIS_SEND_COMPLETE_FLAGS_DISPATCH_LEVEL : 0;
  if (bound_) {
    host_.Characteristics().SendNetBufferListsCompleteHandler(ModuleContext(), chain, flags);
  } else {
    StackCompleteSends(chain, flags);
  }
}

void EmulatedAdapter::SetArrivalHook(std::function<void()> hook) {
  std::lock_guard lock(mutex_);
  arrivalHook_ = std::move(hook);
}

void EmulatedAdapter::HoldSends(bool hold) {
  std::lock_guard lock(mutex_);
  holdSends_ = hold;
}

std::size_t EmulatedAdapter::CompleteHeldSends() {
  std::deque<PNET_BUFFER_LIST> held;
  {
    std::lock_guard lock(mutex_);
    held.swap(heldSends_);
  }
  std::shared_lock gate(gate_);
  for (PNET_BUFFER_LIST list : held) {
    NET_BUFFER_LIST_NEXT_NBL(list) = nullptr;
    --heldAtMiniport_;
    CompleteToFilter(list);
  }
  return held.size();
}

void EmulatedAdapter::StackCompleteSends(PNET_BUFFER_LIST chain, ULONG flags) {
  lastSendCompleteFlags_ = flags;
  for (PNET_BUFFER_LIST list = chain; list != nullptr;) {
    PNET_BUFFER_LIST next = NET_BUFFER_LIST_NEXT_NBL(list);
    if (list->NdisPoolHandle != &kStackPoolSentinel ||
        list->ProtocolReserved[1] != reinterpret_cast<PVOID>(kListOut)) {
      host_.RecordViolation("send completion of a list the protocols did not send");
    } else {
      {
        std::lock_guard lock(mutex_);
        sendCompletions_.push_back(NET_BUFFER_LIST_STATUS(list));
      }
      --stackOutstanding_;
      ReleaseList(list);
    }
    list = next;
  }
}

void EmulatedAdapter::StackIndicate(PNET_BUFFER_LIST chain, NDIS_PORT_NUMBER port, ULONG count, ULONG flags) {
  NoteDriverListWhileStopped(chain, "indicated");
  const std::vector<PNET_BUFFER_LIST> lists = ListsOf(chain);
  if (lists.size() != count) host_.RecordViolation("indication with a list count that does not match its chain");
  std::vector<DeliveredFrame> frames;
  for (PNET_BUFFER_LIST list : lists) {
    for (PNET_BUFFER nb = NET_BUFFER_LIST_FIRST_NB(list); nb != nullptr; nb = NET_BUFFER_NEXT_NB(nb)) {
      ++stackFrameCount_;
      if (!recording_) continue;
      DeliveredFrame frame = ReadFrame(nb, list, nullptr);
      frame.port = port;
      frame.flags = flags;
      frames.push_back(std::move(frame));
    }
  }
  std::function<void()> hook;
  {
    std::lock_guard lock(mutex_);
    for (auto& frame : frames) stackFrames_.push_back(std::move(frame));
    hook = arrivalHook_;
  }
  if (hook) hook();
  if (NDIS_TEST_RECEIVE_CANNOT_PEND(flags)) return;  // the protocols copied what they need
  // The protocols are done with the lists and give them back at once.
  const ULONG returnFlags = KeGetCurrentIrql() == DISPATCH_LEVEL ? NDIS_RETURN_FLAGS_DISPATCH_LEVEL : 0;
  if (bound_) {
    host_.Characteristics().ReturnNetBufferListsHandler(ModuleContext(), chain, returnFlags);
  } else {
    MiniportReturn(chain, returnFlags);
  }
}

void EmulatedAdapter::MiniportReturn(PNET_BUFFER_LIST chain, ULONG flags) {
  lastReturnFlags_ = flags;
  for (PNET_BUFFER_LIST list = chain; list != nullptr;) {
    PNET_BUFFER_LIST next = NET_BUFFER_LIST_NEXT_NBL(list);
    if (list->NdisPoolHandle != &kMiniportPoolSentinel) {
      host_.RecordViolation("return to the miniport of a list it did not indicate");
    } else if (list->MiniportReserved[1] == reinterpret_cast<PVOID>(kListOutWithResources)) {
      host_.RecordViolation("return of a list indicated with the resources flag");
    } else if (list->MiniportReserved[1] != reinterpret_cast<PVOID>(kListOut)) {
      host_.RecordViolation("list returned to the miniport twice");
    } else {
      --miniportOutstanding_;
      ++miniportReturned_;
      ReleaseList(list);
    }
    list = next;
  }
}

std::vector<DeliveredFrame> EmulatedAdapter::TakeMiniportFrames() {
  std::lock_guard lock(mutex_);
  return std::exchange(miniportFrames_, {});
}

std::vector<DeliveredFrame> EmulatedAdapter::TakeStackFrames() {
  std::lock_guard lock(mutex_);
  return std::exchange(stackFrames_, {});
}

std::vector<NDIS_STATUS> EmulatedAdapter::TakeSendCompletions() {
  std::lock_guard lock(mutex_);
  return std::exchange(sendCompletions_, {});
}

void EmulatedAdapter::SetOidResponder(std::function<NDIS_STATUS(NDIS_OID_REQUEST&)> responder) {
  std::lock_guard lock(mutex_);
  oidResponder_ = std::move(responder);
}

void EmulatedAdapter::HoldOidRequests(bool hold) {
  std::lock_guard lock(mutex_);
  holdOids_ = hold;
}

NDIS_STATUS EmulatedAdapter::MiniportOidRequest(PNDIS_OID_REQUEST request) {
  OidRequestSeen seen;
  seen.type = request->RequestType;
  seen.oid = request->DATA.QUERY_INFORMATION.Oid;
  const auto* data = static_cast<const std::uint8_t*>(request->DATA.QUERY_INFORMATION.InformationBuffer);
  if (data != nullptr) seen.data.assign(data, data + request->DATA.QUERY_INFORMATION.InformationBufferLength);
  std::function<NDIS_STATUS(NDIS_OID_REQUEST&)> responder;
  {
    std::lock_guard lock(mutex_);
    if (holdOids_) {
      seen.completedAsync = true;
      oidRequests_.push_back(std::move(seen));
      heldOids_.push_back(request);
      return NDIS_STATUS_PENDING;
    }
    oidRequests_.push_back(std::move(seen));
    responder = oidResponder_;
  }
  if (responder) return responder(*request);
  if (request->RequestType == NdisRequestSetInformation) {
    request->DATA.SET_INFORMATION.BytesRead = request->DATA.SET_INFORMATION.InformationBufferLength;
  } else {
    request->DATA.QUERY_INFORMATION.BytesWritten = request->DATA.QUERY_INFORMATION.InformationBufferLength;
  }
  return NDIS_STATUS_SUCCESS;
}

std::size_t EmulatedAdapter::CompleteHeldOidRequests(NDIS_STATUS status) {
  std::deque<PNDIS_OID_REQUEST> held;
  {
    std::lock_guard lock(mutex_);
    held.swap(heldOids_);
  }
  for (PNDIS_OID_REQUEST request : held) {
    if (status == NDIS_STATUS_SUCCESS) {
      request->DATA.QUERY_INFORMATION.BytesWritten = request->DATA.QUERY_INFORMATION.InformationBufferLength;
    }
    host_.Characteristics().OidRequestCompleteHandler(ModuleContext(), request, status);
  }
  return held.size();
}

std::size_t EmulatedAdapter::CompleteHeldOidRequestsWith(const std::function<NDIS_STATUS(NDIS_OID_REQUEST&)>& answer) {
  std::deque<PNDIS_OID_REQUEST> held;
  {
    std::lock_guard lock(mutex_);
    held.swap(heldOids_);
  }
  for (PNDIS_OID_REQUEST request : held) {
    const NDIS_STATUS status = answer(*request);
    host_.Characteristics().OidRequestCompleteHandler(ModuleContext(), request, status);
  }
  return held.size();
}

void EmulatedAdapter::MiniportCancelOidRequest(PVOID requestId) {
  PNDIS_OID_REQUEST cancelled = nullptr;
  {
    std::lock_guard lock(mutex_);
    oidCancelIds_.push_back(requestId);
    for (auto it = heldOids_.begin(); it != heldOids_.end(); ++it) {
      if ((*it)->RequestId == requestId) {
        cancelled = *it;
        heldOids_.erase(it);
        break;
      }
    }
  }
  if (cancelled != nullptr) {
    host_.Characteristics().OidRequestCompleteHandler(ModuleContext(), cancelled, NDIS_STATUS_REQUEST_ABORTED);
  }
}

std::vector<PVOID> EmulatedAdapter::TakeOidCancelIds() {
  std::lock_guard lock(mutex_);
  return std::exchange(oidCancelIds_, {});
}

NDIS_STATUS EmulatedAdapter::OidRequestFromStack(NDIS_OID_REQUEST& request) {
  {
    std::lock_guard lock(mutex_);
    stackOidsOut_.insert(&request);
  }
  NDIS_STATUS status;
  {
    std::shared_lock gate(gate_);
    status = bound_ ? host_.Characteristics().OidRequestHandler(ModuleContext(), &request)
                    : MiniportOidRequest(&request);
  }
  if (status == NDIS_STATUS_PENDING && bound_) return status;
  std::lock_guard lock(mutex_);
  if (status == NDIS_STATUS_PENDING) {
    // Without a module the miniport holds it; the host does not complete those to the protocols.
    stackOidsOut_.erase(&request);
    return status;
  }
  if (stackOidsCompleted_.erase(&request) != 0) {
    host_.RecordViolation("OID request of the protocols completed and also answered at once");
  }
  stackOidsOut_.erase(&request);
  return status;
}

void EmulatedAdapter::StackOidRequestComplete(PNDIS_OID_REQUEST request, NDIS_STATUS status) {
  std::lock_guard lock(mutex_);
  if (stackOidsOut_.erase(request) == 0) {
    host_.RecordViolation("completion of an OID request the protocols did not send or already saw completed");
    return;
  }
  stackOidsCompleted_.insert(request);
  stackOidCompletions_.push_back({request, status});
}

void EmulatedAdapter::CancelOidRequestFromStack(PVOID requestId) {
  std::shared_lock gate(gate_);
  if (bound_) {
    host_.Characteristics().CancelOidRequestHandler(ModuleContext(), requestId);
  } else {
    MiniportCancelOidRequest(requestId);
  }
}

std::vector<StackOidCompletion> EmulatedAdapter::TakeStackOidCompletions() {
  std::lock_guard lock(mutex_);
  for (const StackOidCompletion& completion : stackOidCompletions_) stackOidsCompleted_.erase(completion.request);
  return std::exchange(stackOidCompletions_, {});
}

long EmulatedAdapter::StackOidRequestsOutstanding() const {
  std::lock_guard lock(mutex_);
  return long(stackOidsOut_.size());
}

void EmulatedAdapter::IndicateStatusFromMiniport(NDIS_STATUS_INDICATION& indication) {
  std::shared_lock gate(gate_);
  if (bound_) {
    host_.Characteristics().StatusHandler(ModuleContext(), &indication);
  } else {
    StackStatus(&indication);
  }
}

void EmulatedAdapter::SetStatusHook(std::function<void(NDIS_STATUS_INDICATION&)> hook) {
  std::lock_guard lock(mutex_);
  statusHook_ = std::move(hook);
}

void EmulatedAdapter::StackStatus(PNDIS_STATUS_INDICATION indication) {
  std::function<void(NDIS_STATUS_INDICATION&)> hook;
  {
    std::lock_guard lock(mutex_);
    hook = statusHook_;
  }
  if (hook) hook(*indication);
  StatusSeen seen;
  seen.code = indication->StatusCode;
  const auto* buffer = static_cast<const std::uint8_t*>(indication->StatusBuffer);
  if (buffer != nullptr) seen.buffer.assign(buffer, buffer + indication->StatusBufferSize);
  std::lock_guard lock(mutex_);
  statusIndications_.push_back(std::move(seen));
}

std::vector<StatusSeen> EmulatedAdapter::TakeStatusIndications() {
  std::lock_guard lock(mutex_);
  return std::exchange(statusIndications_, {});
}

void EmulatedAdapter::DropHeldOidRequests() {
  std::lock_guard lock(mutex_);
  heldOids_.clear();
}

std::vector<OidRequestSeen> EmulatedAdapter::TakeOidRequests() {
  std::lock_guard lock(mutex_);
  return std::exchange(oidRequests_, {});
}

void EmulatedAdapter::DeliverDevicePnPEvent(NET_DEVICE_PNP_EVENT& event) {
  std::shared_lock gate(gate_);
  if (bound_) {
    host_.Characteristics().DevicePnPEventNotifyHandler(ModuleContext(), &event);
  } else {
    ForwardedDevicePnP(&event);
  }
}

NDIS_STATUS EmulatedAdapter::DeliverNetPnPEvent(NET_PNP_EVENT_NOTIFICATION& event) {
  std::shared_lock gate(gate_);
  if (bound_) return host_.Characteristics().NetPnPEventHandler(ModuleContext(), &event);
  return ForwardedNetPnP(&event);
}

void EmulatedAdapter::CancelSend(PVOID cancelId) {
  std::shared_lock gate(gate_);
  if (bound_) {
    host_.Characteristics().CancelSendNetBufferListsHandler(ModuleContext(), cancelId);
  } else {
    ForwardedCancel(cancelId);
  }
}

void EmulatedAdapter::ForwardedDevicePnP(PNET_DEVICE_PNP_EVENT event) {
  std::lock_guard lock(mutex_);
  devicePnP_.push_back(event->DevicePnPEvent);
}

NDIS_STATUS EmulatedAdapter::ForwardedNetPnP(PNET_PNP_EVENT_NOTIFICATION event) {
  std::lock_guard lock(mutex_);
  netPnP_.push_back(event->NetEvent);
  return netPnPAnswer_;
}

void EmulatedAdapter::ForwardedCancel(PVOID cancelId) {
  std::lock_guard lock(mutex_);
  cancelIds_.push_back(cancelId);
}

std::vector<ULONG> EmulatedAdapter::TakeDevicePnPEvents() {
  std::lock_guard lock(mutex_);
  return std::exchange(devicePnP_, {});
}

std::vector<ULONG> EmulatedAdapter::TakeNetPnPEvents() {
  std::lock_guard lock(mutex_);
  return std::exchange(netPnP_, {});
}

std::vector<PVOID> EmulatedAdapter::TakeCancelIds() {
  std::lock_guard lock(mutex_);
  return std::exchange(cancelIds_, {});
}

}  // namespace zl::ndishost
