// One open handle of the driver's control device as the library keeps it:
// the channel to the device, the adapter handles issued to the caller, and
// the bytes returned by the last request (GetBytesReturned), counted in the
// caller's layout: what the driver wrote into a converted record is reported
// as the size of the caller's record it went into (0 after a failure).
//
// `Word` is the caller's pointer width. Records laid out in that width are
// converted to the driver's 64-bit layouts here; where the two are the same
// (a 64-bit caller) the caller's records go to the driver as they are, so
// frames are not copied twice. `Resolve` turns an address found inside a
// caller's request into memory of this process.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "driver/control/vorlanex_interface.h"
#include "vorlanexapi/adapter_handles.h"
#include "vorlanexapi/device_channel.h"
#include "vorlanexapi/record_conversion.h"

namespace zl::vorlanexapi {

// The OID of an adapter's hardware packet filter (NDIS_PACKET_TYPE_* bits).
inline constexpr std::uint32_t OID_GEN_CURRENT_PACKET_FILTER = 0x0001010E;

template <typename Word>
class ClientSession {
 public:
  using AdapterList = AdapterListOf<Word>;
  using PacketRecord = PacketRecordOf<Word>;
  using PacketRequest = PacketRequestOf<Word>;
  using MultiPacketRequest = MultiPacketRequestOf<Word>;
  using AdapterModeRequest = AdapterModeRequestOf<Word>;
  using OidPassRequest = OidPassRequestOf<Word>;
  using Resolver = std::function<void*(Word address)>;

  static constexpr bool kDriverWidth = sizeof(Word) == sizeof(std::uint64_t);

  ClientSession(DeviceChannel channel, Resolver resolve) : channel_(std::move(channel)), resolve_(std::move(resolve)) {}

  std::uint32_t BytesReturned() const { return bytesReturned_; }
  AdapterHandles<Word>& Handles() { return handles_; }

  bool GetDriverVersion(std::uint32_t& version) {
    version = 0;
    return Send(vorlanex::IOCTL_VORLANEX_GET_VERSION, nullptr, 0, &version, sizeof version);
  }

  // The driver answers a version request through this handle.
  bool IsDriverLoaded() {
    std::uint32_t version = 0;
    return GetDriverVersion(version);
  }

  bool GetAdapterList(AdapterList& list) {
    auto driverList = std::make_unique<vorlanex::AdapterList>();
    if (!Send(vorlanex::IOCTL_VORLANEX_GET_ADAPTER_LIST, nullptr, 0, driverList.get(), sizeof *driverList)) return false;
    NarrowAdapterList(*driverList, list, handles_);
    return Report(sizeof list);
  }

  bool SendToAdapter(const PacketRequest& request) { return SendOne(vorlanex::IOCTL_VORLANEX_SEND_TO_ADAPTER, request); }
  bool SendToProtocols(const PacketRequest& request) {
    return SendOne(vorlanex::IOCTL_VORLANEX_SEND_TO_PROTOCOLS, request);
  }

  bool ReadPacket(const PacketRequest& request) {
    auto* record = static_cast<PacketRecord*>(resolve_(request.Record));
    if (!record) return Fail();
    vorlanex::PacketRequest wide{handles_.ToDriver(request.AdapterHandle), 0};
    if constexpr (kDriverWidth) {
      wide.Record = request.Record;
      return Send(vorlanex::IOCTL_VORLANEX_READ_PACKET, &wide, sizeof wide, &wide, sizeof wide);
    } else {
      vorlanex::PacketRecord bounce{};
      wide.Record = AddressOf(&bounce);
      if (!Send(vorlanex::IOCTL_VORLANEX_READ_PACKET, &wide, sizeof wide, &wide, sizeof wide)) return false;
      NarrowRecord(bounce, *record);
      return Report(sizeof request);
    }
  }

  bool SendPacketsToAdapter(const MultiPacketRequest& request) {
    return SendMany(vorlanex::IOCTL_VORLANEX_SEND_PACKETS_TO_ADAPTER, request);
  }
  bool SendPacketsToProtocols(const MultiPacketRequest& request) {
    return SendMany(vorlanex::IOCTL_VORLANEX_SEND_PACKETS_TO_PROTOCOLS, request);
  }

  // Moves up to Count queued frames into the caller's records; Done says how many.
  bool ReadPackets(MultiPacketRequest& request) {
    const std::uint32_t count = request.Count;
    if (!FitsARequest(count)) return Fail();
    const Word* callerRecords = RecordAddresses(request);
    std::vector<std::uint8_t> wide = MultiHeader(request.AdapterHandle, count);
    std::vector<vorlanex::PacketRecord> bounce(kDriverWidth ? 0 : count);
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint64_t address = 0;
      if constexpr (kDriverWidth) {
        address = callerRecords[i];
      } else {
        address = AddressOf(&bounce[i]);
      }
      std::memcpy(wide.data() + vorlanex::MULTI_PACKET_REQUEST_HEADER_SIZE + 8 * i, &address, 8);
    }
    if (!Send(vorlanex::IOCTL_VORLANEX_READ_PACKETS, wide.data(), std::uint32_t(wide.size()), wide.data(),
              std::uint32_t(wide.size()))) {
      return false;
    }
    vorlanex::MultiPacketRequest header;
    std::memcpy(&header, wide.data(), sizeof header);
    const std::uint32_t reported = header.Done;
    const std::uint32_t done = std::min(reported, count);
    if constexpr (!kDriverWidth) {
      for (std::uint32_t i = 0; i < done; ++i) {
        auto* record = static_cast<PacketRecord*>(resolve_(callerRecords[i]));
        if (!record) return Fail();
        NarrowRecord(bounce[i], *record);
      }
    }
    request.Done = done;
    return Report(std::uint32_t(sizeof request + count * sizeof(Word)));
  }

  bool SetAdapterMode(const AdapterModeRequest& request) {
    vorlanex::AdapterModeRequest wide{handles_.ToDriver(request.AdapterHandle), request.Flags};
    return Send(vorlanex::IOCTL_VORLANEX_SET_ADAPTER_MODE, &wide, sizeof wide, nullptr, 0);
  }

  bool GetAdapterMode(AdapterModeRequest& request) {
    vorlanex::AdapterModeRequest wide{handles_.ToDriver(request.AdapterHandle), 0};
    if (!Send(vorlanex::IOCTL_VORLANEX_GET_ADAPTER_MODE, &wide, sizeof wide, &wide, sizeof wide)) return false;
    request.Flags = wide.Flags;
    return Report(sizeof request);
  }

  bool FlushAdapterQueue(Word adapter) {
    vorlanex::AdapterRequest wide{handles_.ToDriver(adapter)};
    return Send(vorlanex::IOCTL_VORLANEX_FLUSH_ADAPTER_QUEUE, &wide, sizeof wide, nullptr, 0);
  }

  bool GetAdapterQueueSize(Word adapter, std::uint32_t& size) {
    vorlanex::AdapterRequest wide{handles_.ToDriver(adapter)};
    size = 0;
    return Send(vorlanex::IOCTL_VORLANEX_GET_QUEUE_SIZE, &wide, sizeof wide, &size, sizeof size);
  }

  // Event handles are handles of the calling process; a narrower one is zero-extended.
  bool SetPacketEvent(Word adapter, Word event) {
    vorlanex::AdapterEventRequest wide{handles_.ToDriver(adapter), std::uint64_t(event)};
    return Send(vorlanex::IOCTL_VORLANEX_SET_PACKET_EVENT, &wide, sizeof wide, nullptr, 0);
  }
  bool SetWanEvent(Word event) {
    vorlanex::EventRequest wide{std::uint64_t(event)};
    return Send(vorlanex::IOCTL_VORLANEX_SET_WAN_EVENT, &wide, sizeof wide, nullptr, 0);
  }
  bool SetAdapterListChangeEvent(Word event) {
    vorlanex::EventRequest wide{std::uint64_t(event)};
    return Send(vorlanex::IOCTL_VORLANEX_SET_ADAPTER_LIST_EVENT, &wide, sizeof wide, nullptr, 0);
  }

  // An OID set or query on the adapter. The caller's data area (Length bytes
  // after its header) is sent and, on success, receives what the adapter
  // wrote; the length field takes the driver's answer.
  bool OidRequest(OidPassRequest& request, bool set) {
    const std::uint32_t length = request.Length;
    if (length > std::numeric_limits<std::uint32_t>::max() - vorlanex::OID_PASS_REQUEST_HEADER_SIZE) return Fail();
    std::uint8_t* data = reinterpret_cast<std::uint8_t*>(&request) + sizeof request;
    std::vector<std::uint8_t> wide(vorlanex::OID_PASS_REQUEST_HEADER_SIZE + std::size_t(length));
    const vorlanex::OidPassRequest header{handles_.ToDriver(request.AdapterHandle), request.Oid, length};
    std::memcpy(wide.data(), &header, sizeof header);
    std::memcpy(wide.data() + sizeof header, data, length);
    const std::uint32_t size = std::uint32_t(wide.size());
    if (!Send(set ? vorlanex::IOCTL_VORLANEX_OID_SET : vorlanex::IOCTL_VORLANEX_OID_QUERY, wide.data(), size,
              wide.data(), size)) {
      return false;
    }
    vorlanex::OidPassRequest answer;
    std::memcpy(&answer, wide.data(), sizeof answer);
    request.Length = answer.Length;
    std::memcpy(data, wide.data() + sizeof header, length);
    return Report(std::uint32_t(sizeof request + length));
  }

  bool SetHwPacketFilter(Word adapter, std::uint32_t filter) {
    return HwFilterRequest(adapter, filter, true);
  }
  bool GetHwPacketFilter(Word adapter, std::uint32_t& filter) {
    filter = 0;
    return HwFilterRequest(adapter, filter, false);
  }

  bool GetRasLinks(Word adapter, RasLinkList& links) {
    static_assert(sizeof links == sizeof(vorlanex::RasLinkList));
    vorlanex::AdapterRequest wide{handles_.ToDriver(adapter)};
    auto answer = std::make_unique<vorlanex::RasLinkList>();
    std::memcpy(answer.get(), &wide, sizeof wide);
    if (!Send(vorlanex::IOCTL_VORLANEX_GET_RAS_LINKS, answer.get(), sizeof wide, answer.get(), sizeof *answer)) {
      return false;
    }
    std::memcpy(&links, answer.get(), sizeof links);
    return true;
  }

  // `table` is a count followed by that many rules. Rules name adapters by
  // the caller's handles; the driver gets its own.
  bool SetPacketFilterTable(const void* table) {
    std::uint32_t count;
    std::memcpy(&count, table, sizeof count);
    if (count == 0 || !FitsATable(count)) return Fail();
    std::vector<std::uint8_t> wide(TableSize(count));
    std::memcpy(wide.data(), table, wide.size());
    ForEachRuleHandle(wide, count, [&](std::uint64_t handle) { return handles_.ToDriver(Word(handle)); });
    return Send(vorlanex::IOCTL_VORLANEX_SET_FILTER_TABLE, wide.data(), std::uint32_t(wide.size()), nullptr, 0);
  }

  // The count the caller sets is the number of rules its buffer holds.
  bool GetPacketFilterTable(void* table, bool resetStats) {
    std::uint32_t capacity;
    std::memcpy(&capacity, table, sizeof capacity);
    if (!FitsATable(capacity)) return Fail();
    std::vector<std::uint8_t> wide(TableSize(capacity));
    if (!Send(resetStats ? vorlanex::IOCTL_VORLANEX_GET_FILTER_TABLE_RESET_STATS : vorlanex::IOCTL_VORLANEX_GET_FILTER_TABLE,
              nullptr, 0, wide.data(), std::uint32_t(wide.size()))) {
      return false;
    }
    std::uint32_t count;
    std::memcpy(&count, wide.data(), sizeof count);
    if (count > capacity) return Fail();
    ForEachRuleHandle(wide, count, [&](std::uint64_t handle) { return std::uint64_t(handles_.ToCaller(handle)); });
    std::memcpy(table, wide.data(), TableSize(count));
    return true;
  }

  bool ResetPacketFilterTable() { return Send(vorlanex::IOCTL_VORLANEX_RESET_FILTER_TABLE, nullptr, 0, nullptr, 0); }

  bool GetPacketFilterTableSize(std::uint32_t& rules) {
    rules = 0;
    return Send(vorlanex::IOCTL_VORLANEX_GET_FILTER_TABLE_SIZE, nullptr, 0, &rules, sizeof rules);
  }

 private:
  static std::uint64_t AddressOf(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }
  static std::size_t TableSize(std::uint32_t count) {
    return vorlanex::FILTER_TABLE_HEADER_SIZE + std::size_t(count) * sizeof(vorlanex::FilterRule);
  }

  bool Send(std::uint32_t code, const void* input, std::uint32_t inputLength, void* output, std::uint32_t outputLength) {
    std::uint32_t bytes = 0;
    const bool ok = channel_(code, input, inputLength, output, outputLength, bytes);
    bytesReturned_ = ok ? bytes : 0;
    return ok;
  }

  bool Fail() {
    bytesReturned_ = 0;
    return false;
  }

  // After a converted request: the bytes of the caller's record that were filled.
  bool Report(std::uint32_t callerBytes) {
    bytesReturned_ = callerBytes;
    return true;
  }

  // A request's size is a 32-bit count: a caller's count that would overflow
  // it is refused before anything is read or allocated.
  static bool FitsARequest(std::uint32_t records) {
    return records <= (std::numeric_limits<std::uint32_t>::max() - vorlanex::MULTI_PACKET_REQUEST_HEADER_SIZE) / 8;
  }
  static bool FitsATable(std::uint32_t rules) {
    return rules <= (std::numeric_limits<std::uint32_t>::max() - vorlanex::FILTER_TABLE_HEADER_SIZE) /
                        sizeof(vorlanex::FilterRule);
  }

  bool SendOne(std::uint32_t code, const PacketRequest& request) {
    vorlanex::PacketRequest wide{handles_.ToDriver(request.AdapterHandle), 0};
    if constexpr (kDriverWidth) {
      wide.Record = request.Record;
      return Send(code, &wide, sizeof wide, nullptr, 0);
    } else {
      const auto* record = static_cast<const PacketRecord*>(resolve_(request.Record));
      if (!record) return Fail();
      vorlanex::PacketRecord bounce;
      WidenRecord(*record, bounce);
      wide.Record = AddressOf(&bounce);
      return Send(code, &wide, sizeof wide, nullptr, 0);
    }
  }

  const Word* RecordAddresses(const MultiPacketRequest& request) const {
    return reinterpret_cast<const Word*>(reinterpret_cast<const std::uint8_t*>(&request) + sizeof request);
  }

  std::vector<std::uint8_t> MultiHeader(Word adapter, std::uint32_t count) const {
    std::vector<std::uint8_t> wide(vorlanex::MULTI_PACKET_REQUEST_HEADER_SIZE + 8 * std::size_t(count));
    const vorlanex::MultiPacketRequest header{handles_.ToDriver(adapter), count, 0};
    std::memcpy(wide.data(), &header, sizeof header);
    return wide;
  }

  bool SendMany(std::uint32_t code, const MultiPacketRequest& request) {
    const std::uint32_t count = request.Count;
    if (!FitsARequest(count)) return Fail();
    const Word* callerRecords = RecordAddresses(request);
    std::vector<std::uint8_t> wide = MultiHeader(request.AdapterHandle, count);
    std::vector<vorlanex::PacketRecord> bounce(kDriverWidth ? 0 : count);
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint64_t address = 0;
      if constexpr (kDriverWidth) {
        address = callerRecords[i];
      } else {
        const auto* record = static_cast<const PacketRecord*>(resolve_(callerRecords[i]));
        if (!record) return Fail();
        WidenRecord(*record, bounce[i]);
        address = AddressOf(&bounce[i]);
      }
      std::memcpy(wide.data() + vorlanex::MULTI_PACKET_REQUEST_HEADER_SIZE + 8 * i, &address, 8);
    }
    return Send(code, wide.data(), std::uint32_t(wide.size()), nullptr, 0);
  }

  bool HwFilterRequest(Word adapter, std::uint32_t& filter, bool set) {
    std::uint8_t wide[vorlanex::OID_PASS_REQUEST_HEADER_SIZE + sizeof filter];
    const vorlanex::OidPassRequest header{handles_.ToDriver(adapter), OID_GEN_CURRENT_PACKET_FILTER, sizeof filter};
    std::memcpy(wide, &header, sizeof header);
    std::memcpy(wide + sizeof header, &filter, sizeof filter);
    if (!Send(set ? vorlanex::IOCTL_VORLANEX_OID_SET : vorlanex::IOCTL_VORLANEX_OID_QUERY, wide, sizeof wide, wide,
              sizeof wide)) {
      return false;
    }
    if (!set) std::memcpy(&filter, wide + sizeof header, sizeof filter);
    return true;
  }

  template <typename Map>
  static void ForEachRuleHandle(std::vector<std::uint8_t>& table, std::uint32_t count, Map map) {
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint8_t* field = table.data() + TableSize(i) + offsetof(vorlanex::FilterRule, AdapterHandle);
      std::uint64_t handle;
      std::memcpy(&handle, field, sizeof handle);
      if (handle != 0) handle = map(handle);  // 0: the rule applies to every adapter
      std::memcpy(field, &handle, sizeof handle);
    }
  }

  DeviceChannel channel_;
  Resolver resolve_;
  AdapterHandles<Word> handles_;
  std::atomic<std::uint32_t> bytesReturned_ = 0;
};

}  // namespace zl::vorlanexapi
