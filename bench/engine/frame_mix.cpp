#include "frame_mix.h"

#include "service/engine/frame_judgement.h"

namespace zl::bench {
namespace {

std::vector<std::uint8_t> Frame(std::uint8_t protocol, std::uint16_t sourcePort, std::uint16_t destinationPort,
                                const std::string& payload) {
  std::vector<std::uint8_t> frame(14 + 20 + (protocol == 6 ? 20 : 8), 0);
  const std::uint8_t header[] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x1A, 0x2B, 0x3C, 0x4D, 0xEF, 0x08, 0x00,
                                 0x45, 0x00, 0x00, 0x00, 0x12, 0x34, 0x40, 0x00, 0x40, protocol, 0x00, 0x00,
                                 192,  168,  137,  23,   93,   184,  216,  34};
  std::copy(std::begin(header), std::end(header), frame.begin());
  frame[34] = static_cast<std::uint8_t>(sourcePort >> 8);
  frame[35] = static_cast<std::uint8_t>(sourcePort);
  frame[36] = static_cast<std::uint8_t>(destinationPort >> 8);
  frame[37] = static_cast<std::uint8_t>(destinationPort);
  frame.insert(frame.end(), payload.begin(), payload.end());
  return frame;
}

std::vector<std::uint8_t> Arp() {
  std::vector<std::uint8_t> frame(42, 0);
  frame[0] = frame[1] = frame[2] = frame[3] = frame[4] = frame[5] = 0xFF;
  frame[12] = 0x08;
  frame[13] = 0x06;
  return frame;
}

}  // namespace

std::vector<MixFrame> FrameMix() {
  const std::string get =
      "GET /news/today.html HTTP/1.1\r\nHost: www.example.com\r\nUser-Agent: Mozilla/5.0 (Windows NT 10.0; Win64; "
      "x64)\r\nAccept: text/html,application/xhtml+xml\r\nAccept-Language: de-DE,de;q=0.9\r\nConnection: "
      "keep-alive\r\n\r\n";
  const std::string dns("\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x07" "example\x03" "com\x00\x00\x01\x00\x01",
                        29);
  return {
      {"arp", Arp(), engine::DIRECTION_INBOUND},
      {"udp_dns", Frame(17, 50001, 53, dns), engine::DIRECTION_INBOUND},
      {"tcp_443", Frame(6, 50002, 443, std::string(600, 'x')), engine::DIRECTION_INBOUND},
      {"tcp_80_get", Frame(6, 50003, 80, get), engine::DIRECTION_INBOUND},
      {"tcp_p2p_blocked", Frame(6, 50004, 6881, std::string(68, 'x')), engine::DIRECTION_INBOUND},
  };
}

std::string P2PBlockedSettings() {
  return "FreeUrlList=\r\nFreeMacList=\r\nEnableFirewall=-1\r\nEnableDefaultTcpPorts=0\r\nEnableDefaultUdpPorts=0\r\n"
         "EnabledTcpPorts=80;8080;8081;443;21;25;110;67;68\r\nDisabledTcpPorts=\r\nEnabledUdpPorts=110;53;67;68\r\n"
         "DisabledUdpPorts=\r\nEnableUrlLog=-1\r\n";
}

}  // namespace zl::bench
