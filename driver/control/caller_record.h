// Guarded transfers of PacketRecords between the driver and the memory of the
// calling process, at addresses carried inside requests.
#pragma once

#include <ndis.h>

#include "driver/datapath/packet_record.h"

namespace zl::driver {

enum class CallerRecordRead { Copied, TooLong, Fault };

// Copies the caller's record into the driver's. Its length is read once: that
// one value is tested against 1514 and used for the copy and everything after
// it, so a caller changing its record meanwhile cannot make the driver move more
// than 32 + 1514 bytes.
CallerRecordRead ReadCallerRecord(ULONG64 callerAddress, PacketRecord* copy);

// Copies the first 32 + length bytes of the driver's record into the caller's.
// The driver's queue linkage is not handed out: those 16 bytes arrive as zeros.
// False on a fault.
bool WriteCallerRecord(ULONG64 callerAddress, PacketRecord* record);

}  // namespace zl::driver
