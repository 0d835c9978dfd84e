// A realistic mix of hotspot frames for the engine's benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zl::bench {

struct MixFrame {
  std::string kind;
  std::vector<std::uint8_t> bytes;
  std::uint32_t direction;
};

// ARP, UDP DNS, TCP to 443, TCP to 80 with a GET, TCP to a blocked P2P port.
std::vector<MixFrame> FrameMix();

// The control panel's settings text with file sharing blocked and the URL log on.
std::string P2PBlockedSettings();

}  // namespace zl::bench
