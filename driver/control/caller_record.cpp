#include "driver/control/caller_record.h"

namespace zl::driver {
namespace {

constexpr ULONG LINK_SIZE = sizeof(LIST_ENTRY);

}  // namespace

CallerRecordRead ReadCallerRecord(ULONG64 callerAddress, PacketRecord* copy) {
  // Direction, length, reserved and 802.1Q information: the link is not read.
  if (!NT_SUCCESS(CopyFromCallerMemory(reinterpret_cast<PUCHAR>(copy) + LINK_SIZE, callerAddress + LINK_SIZE,
                                       PACKET_RECORD_HEADER_SIZE - LINK_SIZE))) {
    return CallerRecordRead::Fault;
  }
  const ULONG length = copy->Length;
  if (length > MAX_FRAME_SIZE) return CallerRecordRead::TooLong;
  if (!NT_SUCCESS(CopyFromCallerMemory(copy->Frame, callerAddress + PACKET_RECORD_HEADER_SIZE, length))) {
    return CallerRecordRead::Fault;
  }
  return CallerRecordRead::Copied;
}

bool WriteCallerRecord(ULONG64 callerAddress, PacketRecord* record) {
  RtlZeroMemory(RecordLink(record), LINK_SIZE);
  const ULONG length = record->Length;
  return NT_SUCCESS(CopyToCallerMemory(callerAddress, record, PACKET_RECORD_HEADER_SIZE + length));
}

}  // namespace zl::driver
