// Conversion between a caller's records (vorlanex_api.h, in the caller's
// pointer width) and the driver's records. Handles go through the
// session's AdapterHandles; the list links carry nothing and are not copied.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "driver/control/vorlanex_interface.h"
#include "vorlanexapi/vorlanex_api.h"
#include "vorlanexapi/adapter_handles.h"

namespace zl::vorlanexapi {

// A 64-bit caller's records are exactly the driver's layouts.
static_assert(sizeof(AdapterListOf<std::uint64_t>) == sizeof(vorlanex::AdapterList));
static_assert(sizeof(PacketRecordOf<std::uint64_t>) == sizeof(vorlanex::PacketRecord));
static_assert(offsetof(PacketRecordOf<std::uint64_t>, Frame) == 32);
static_assert(sizeof(PacketRequestOf<std::uint64_t>) == sizeof(vorlanex::PacketRequest));
static_assert(sizeof(AdapterModeRequestOf<std::uint64_t>) == sizeof(vorlanex::AdapterModeRequest));
static_assert(sizeof(MultiPacketRequestOf<std::uint64_t>) == vorlanex::MULTI_PACKET_REQUEST_HEADER_SIZE);
static_assert(sizeof(OidPassRequestOf<std::uint64_t>) == vorlanex::OID_PASS_REQUEST_HEADER_SIZE);

// The caller's record in the driver's layout. The length is read once: a
// length above 1514 is kept (the driver refuses such a record) but no more
// than 1514 frame bytes are ever copied.
template <typename Word>
void WidenRecord(const PacketRecordOf<Word>& caller, vorlanex::PacketRecord& driver) {
  driver.Link[0] = driver.Link[1] = 0;
  driver.Direction = caller.Direction;
  const std::uint32_t length = caller.Length;
  driver.Length = length;
  driver.Reserved = caller.Reserved;
  driver.Ieee8021Q = caller.Ieee8021Q;
  std::memcpy(driver.Frame, caller.Frame, std::min(length, vorlanex::MAX_FRAME_SIZE));
}

// A record read from the driver into the caller's layout; the caller's link
// and the frame bytes beyond the length are left as they were.
template <typename Word>
void NarrowRecord(const vorlanex::PacketRecord& driver, PacketRecordOf<Word>& caller) {
  const std::uint32_t driverLength = driver.Length;  // a packed field: no reference into it
  const std::uint32_t length = std::min(driverLength, vorlanex::MAX_FRAME_SIZE);
  caller.Direction = driver.Direction;
  caller.Length = length;
  caller.Reserved = driver.Reserved;
  caller.Ieee8021Q = driver.Ieee8021Q;
  std::memcpy(caller.Frame, driver.Frame, length);
}

template <typename Word>
void NarrowAdapterList(const vorlanex::AdapterList& driver, AdapterListOf<Word>& caller,
                       AdapterHandles<Word>& handles) {
  std::memset(&caller, 0, sizeof caller);
  const std::uint32_t count = driver.Count;
  caller.Count = std::min(count, vorlanex::MAX_LISTED_ADAPTERS);
  for (std::uint32_t i = 0; i < caller.Count; ++i) {
    std::memcpy(caller.Name[i], driver.Name[i], sizeof caller.Name[i]);
    caller.Name[i][sizeof caller.Name[i] - 1] = '\0';
    caller.Handle[i] = handles.ToCaller(driver.Handle[i]);
    caller.Medium[i] = driver.Medium[i];
    std::memcpy(caller.Address[i], driver.Address[i], sizeof caller.Address[i]);
    caller.Mtu[i] = driver.Mtu[i];
  }
}

}  // namespace zl::vorlanexapi
