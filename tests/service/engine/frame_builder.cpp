#include "frame_builder.h"

namespace zl::engine::test {
namespace {

void Put16(std::vector<std::uint8_t>& frame, std::size_t at, std::uint16_t value) {
  frame[at] = static_cast<std::uint8_t>(value >> 8);
  frame[at + 1] = static_cast<std::uint8_t>(value);
}

}  // namespace

std::vector<std::uint8_t> BuildFrame(const FrameSpec& spec) {
  const std::size_t ipHeaderLength = spec.headerWords >= 5 ? 4u * spec.headerWords : 20u;
  const std::size_t transportLength = spec.protocol == 6 ? 20 : 8;
  std::vector<std::uint8_t> frame(14 + ipHeaderLength + transportLength, 0);
  const Mac destinationMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
  std::copy(destinationMac.begin(), destinationMac.end(), frame.begin());
  std::copy(spec.sourceMac.begin(), spec.sourceMac.end(), frame.begin() + 6);
  Put16(frame, 12, spec.etherType);

  frame[14] = static_cast<std::uint8_t>(0x40 | (spec.headerWords & 0x0F));
  Put16(frame, 16, static_cast<std::uint16_t>(ipHeaderLength + transportLength + spec.payload.size()));
  frame[22] = 64;  // TTL
  frame[23] = spec.protocol;
  std::copy(spec.source.begin(), spec.source.end(), frame.begin() + 26);
  std::copy(spec.destination.begin(), spec.destination.end(), frame.begin() + 30);

  // A header length below 5 puts the engine's port offsets inside the IPv4
  // header itself; such tests place the bytes they want with patches.
  if (spec.headerWords >= 5) {
    const std::size_t transport = 14 + ipHeaderLength;
    Put16(frame, transport, spec.sourcePort);
    Put16(frame, transport + 2, spec.destinationPort);
    if (spec.protocol == 6) frame[transport + 12] = 0x50;  // data offset 5
  }

  frame.insert(frame.end(), spec.payload.begin(), spec.payload.end());
  for (const auto& [offset, value] : spec.patches) {
    if (offset >= frame.size()) frame.resize(offset + 1, 0);
    frame[offset] = value;
  }
  return frame;
}

FrameSpec TcpFrame(Address source, std::uint16_t sourcePort, Address destination, std::uint16_t destinationPort,
                   std::string payload) {
  FrameSpec spec;
  spec.source = source;
  spec.sourcePort = sourcePort;
  spec.destination = destination;
  spec.destinationPort = destinationPort;
  spec.payload = std::move(payload);
  return spec;
}

FrameSpec UdpFrame(Address source, std::uint16_t sourcePort, Address destination, std::uint16_t destinationPort) {
  FrameSpec spec = TcpFrame(source, sourcePort, destination, destinationPort);
  spec.protocol = 17;
  return spec;
}

std::string HttpGet(const std::string& path, const std::string& host) {
  return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: test\r\nAccept: */*\r\n\r\n";
}

}  // namespace zl::engine::test
