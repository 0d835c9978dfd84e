#include "driver/control/caller_record.h"
#include "driver/control/control_operations.h"
#include "driver/control/vorlanex_interface.h"
#include "driver/datapath/packet_queue.h"
#include "driver/datapath/record_pool.h"
#include "driver/datapath/reinject.h"

namespace zl::driver {
namespace {

constexpr ULONG PACKET_REQUEST_SIZE = sizeof(zl::vorlanex::PacketRequest);
constexpr ULONG RECORD_ADDRESS_OFFSET = offsetof(zl::vorlanex::PacketRequest, Record);
constexpr ULONG MULTI_HEADER_SIZE = zl::vorlanex::MULTI_PACKET_REQUEST_HEADER_SIZE;
constexpr ULONG MULTI_COUNT_OFFSET = offsetof(zl::vorlanex::MultiPacketRequest, Count);
constexpr ULONG MULTI_DONE_OFFSET = offsetof(zl::vorlanex::MultiPacketRequest, Done);
// A multiple request carries at least one record address.
constexpr ULONG MULTI_MINIMUM_SIZE = MULTI_HEADER_SIZE + sizeof(ULONG64);

// The record count of a multiple request whose input holds every address it
// announces, or false.
bool MultiRequestCount(const ControlRequest& request, ULONG* count) {
  if (request.InputLength < MULTI_MINIMUM_SIZE) return false;
  *count = BufferU32(request, MULTI_COUNT_OFFSET);
  return ULONG64(request.InputLength) >= ULONG64(MULTI_HEADER_SIZE) + ULONG64(*count) * sizeof(ULONG64);
}

ULONG64 RecordAddressAt(const ControlRequest& request, ULONG index) {
  return BufferU64(request, MULTI_HEADER_SIZE + index * ULONG(sizeof(ULONG64)));
}

// The caller's record goes down to the adapter from a copy in kernel memory.
// Whether a list could be built for it is not reported.
CallerRecordRead SendCallerRecord(FilterModule* module, ULONG64 callerAddress) {
  PacketRecord copy;
  const CallerRecordRead read = ReadCallerRecord(callerAddress, &copy);
  if (read == CallerRecordRead::Copied) SendRecord(module, &copy);
  return read;
}

enum class IndicateOutcome { Indicated, NoRecord, TooLong, Fault };

// The caller's record goes up to the protocols through a record of the pool;
// whether the protocols got it is not reported.
IndicateOutcome IndicateCallerRecord(FilterModule* module, ULONG64 callerAddress) {
  PacketRecord* record = TakeRecord();
  if (record == nullptr) return IndicateOutcome::NoRecord;
  const CallerRecordRead read = ReadCallerRecord(callerAddress, record);
  if (read == CallerRecordRead::Copied) IndicateRecord(module, record);
  ReturnRecord(record);
  switch (read) {
    case CallerRecordRead::Copied:
      return IndicateOutcome::Indicated;
    case CallerRecordRead::TooLong:
      return IndicateOutcome::TooLong;
    default:
      return IndicateOutcome::Fault;
  }
}

enum class ReadOutcome { Moved, QueueEmpty, Fault };

// The oldest queued record into the caller's; the record goes back to the pool
// whether or not the copy succeeded.
ReadOutcome MoveOldestRecord(FilterModule* module, ULONG64 callerAddress) {
  PacketRecord* record = DequeueRecord(&module->Queue);
  if (record == nullptr) return ReadOutcome::QueueEmpty;
  const bool written = WriteCallerRecord(callerAddress, record);
  ReturnRecord(record);
  return written ? ReadOutcome::Moved : ReadOutcome::Fault;
}

}  // namespace

NTSTATUS SendPacketToAdapter(const ControlRequest& request, ULONG* bytes) {
  RequestAdapter adapter(request, PACKET_REQUEST_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  if (SendCallerRecord(adapter.Module(), BufferU64(request, RECORD_ADDRESS_OFFSET)) != CallerRecordRead::Copied) {
    return STATUS_INVALID_PARAMETER;
  }
  *bytes = 0;
  return STATUS_SUCCESS;
}

NTSTATUS SendPacketToProtocols(const ControlRequest& request, ULONG* bytes) {
  RequestAdapter adapter(request, PACKET_REQUEST_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  if (IndicateCallerRecord(adapter.Module(), BufferU64(request, RECORD_ADDRESS_OFFSET)) !=
      IndicateOutcome::Indicated) {
    return STATUS_INVALID_PARAMETER;
  }
  *bytes = 0;
  return STATUS_SUCCESS;
}

NTSTATUS ReadPacket(const ControlRequest& request, ULONG* bytes) {
  RequestAdapter adapter(request, PACKET_REQUEST_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  if (MoveOldestRecord(adapter.Module(), BufferU64(request, RECORD_ADDRESS_OFFSET)) != ReadOutcome::Moved) {
    return STATUS_INVALID_PARAMETER;
  }
  *bytes = PACKET_REQUEST_SIZE;
  return STATUS_SUCCESS;
}

NTSTATUS SendPacketsToAdapter(const ControlRequest& request, ULONG* bytes) {
  ULONG count = 0;
  if (!MultiRequestCount(request, &count)) return STATUS_INVALID_PARAMETER;
  RequestAdapter adapter(request, MULTI_MINIMUM_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  for (ULONG i = 0; i < count; ++i) {
    // A record that is too long is skipped; a fault ends the request, and what
    // was sent before it stays sent.
    if (SendCallerRecord(adapter.Module(), RecordAddressAt(request, i)) == CallerRecordRead::Fault) {
      return STATUS_INVALID_PARAMETER;
    }
  }
  *bytes = 0;
  return STATUS_SUCCESS;
}

NTSTATUS SendPacketsToProtocols(const ControlRequest& request, ULONG* bytes) {
  ULONG count = 0;
  if (!MultiRequestCount(request, &count)) return STATUS_INVALID_PARAMETER;
  RequestAdapter adapter(request, MULTI_MINIMUM_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  for (ULONG i = 0; i < count; ++i) {
    // A record that is too long, or for which no pool record is free, is
    // skipped; a fault ends the request.
    if (IndicateCallerRecord(adapter.Module(), RecordAddressAt(request, i)) == IndicateOutcome::Fault) {
      return STATUS_INVALID_PARAMETER;
    }
  }
  *bytes = 0;
  return STATUS_SUCCESS;
}

NTSTATUS ReadPackets(const ControlRequest& request, ULONG* bytes) {
  ULONG count = 0;
  if (!MultiRequestCount(request, &count)) return STATUS_INVALID_PARAMETER;
  RequestAdapter adapter(request, MULTI_MINIMUM_SIZE);
  if (!adapter) return STATUS_INVALID_PARAMETER;
  ULONG done = 0;
  WriteBufferU32(request, MULTI_DONE_OFFSET, done);
  while (done < count) {
    const ReadOutcome outcome = MoveOldestRecord(adapter.Module(), RecordAddressAt(request, done));
    if (outcome != ReadOutcome::Moved) break;
    ++done;
    WriteBufferU32(request, MULTI_DONE_OFFSET, done);
  }
  // Records already moved are reported even when a later caller record faulted:
  // failing the request would leave the caller holding frames it never learns of.
  if (done == 0) return STATUS_INVALID_PARAMETER;
  *bytes = request.InputLength;
  return STATUS_SUCCESS;
}

}  // namespace zl::driver
