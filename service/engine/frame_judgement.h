// The verdict on one Ethernet frame of the hotspot adapter: IPv4 TCP and UDP
// frames are judged by the port of the far side, everything else passes. On
// the way the frame's addresses are noted for the client report, and client
// requests to remote TCP port 80 are handed on as URL log candidates.
//
// Only bytes within the frame's length are read. A frame too short for its
// EtherType, protocol or addresses passes like any non-TCP/UDP frame; one too
// short for the port that decides passes (its addresses are still noted) and
// is never a log candidate. Nothing else is checked: not the IP version, the
// checksum, the total length or the fragment offset, so a header length below
// 5 and a non-first fragment are judged on the bytes where the ports would be.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "service/engine/filter_rules.h"

namespace zl::engine {

// Direction of a frame in the driver's records.
inline constexpr std::uint32_t DIRECTION_OUTBOUND = 1;  // from the local stack towards the clients
inline constexpr std::uint32_t DIRECTION_INBOUND = 2;   // from the clients towards the stack

// The hotspot computer's own address on the hosted network. Traffic between
// it and a client is never refused.
inline constexpr std::string_view HotspotAddress = "192.168.137.1";

// Receives the destination and then the source address of every IPv4 TCP and
// UDP frame, passing or not, as dotted-decimal texts valid during the call.
class ClientAddressNoter {
 public:
  virtual ~ClientAddressNoter() = default;
  virtual void NoteClientAddresses(std::string_view destination, std::string_view source) = 0;
};

// Receives each passing client frame to TCP port 80 of a host other than the
// hotspot computer, while the URL log is on, with the frame's source MAC text.
// The frame bytes are valid during the call only.
class UrlLogCandidates {
 public:
  virtual ~UrlLogCandidates() = default;
  virtual void LogRequestUrl(std::string_view clientMac, const std::uint8_t* frame, std::size_t length) = 0;
};

enum class Verdict : std::uint8_t { Drop, Pass };

// `frame` holds `length` valid bytes. An error raised by the noter or the log
// candidates is swallowed there and the frame is judged all the same.
Verdict JudgeFrame(const std::uint8_t* frame, std::size_t length, std::uint32_t direction, const FilterRules& rules,
                   ClientAddressNoter& addresses, UrlLogCandidates& urlLog) noexcept;

}  // namespace zl::engine
