// One frame of the hotspot adapter judged under rules from a settings text,
// with the URL log line composed for it. The frame lies in a buffer of
// exactly its length, so a read past it is an AddressSanitizer finding. The
// verdict, the noted addresses and the log candidates are compared with what
// the frame's bytes call for, and a composed line never holds a control
// character (no CR or LF can split it).
//
// Input: flags (bit 0: outbound), the settings text's length, the settings
// text, then the frame.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "service/engine/filter_rules.h"
#include "service/engine/frame_judgement.h"
#include "service/engine/request_text.h"
#include "service/engine/url_log_line.h"

namespace {

using zl::engine::Verdict;

struct Noted : zl::engine::ClientAddressNoter {
  std::vector<std::pair<std::string, std::string>> addresses;
  void NoteClientAddresses(std::string_view destination, std::string_view source) override {
    addresses.emplace_back(destination, source);
  }
};

struct Candidates : zl::engine::UrlLogCandidates {
  struct Seen {
    std::string mac;
    const std::uint8_t* frame;
    std::size_t length;
  };
  std::vector<Seen> seen;
  void LogRequestUrl(std::string_view clientMac, const std::uint8_t* frame, std::size_t length) override {
    seen.push_back({std::string(clientMac), frame, length});
  }
};

std::string Dotted(const std::uint8_t* p) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", p[0], p[1], p[2], p[3]);
  return text;
}

std::string MacOf(const std::uint8_t* p) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", p[0], p[1], p[2], p[3], p[4], p[5]);
  return text;
}

void CheckLine(const std::string& line, std::string_view mac, std::string_view requestText) {
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    ZL_FUZZ_CHECK(byte >= 0x20 && byte != 0x7F);
  }
  std::string expected = "  ";
  expected += mac;
  expected += "  http://";
  zl::engine::AppendEscapedControls(expected, zl::engine::FindRequestHost(requestText));
  zl::engine::AppendEscapedControls(expected, zl::engine::FindRequestPath(requestText));
  ZL_FUZZ_CHECK(line.ends_with(expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zl::fuzz::InputReader input(data, size);
  const std::uint8_t flags = input.Byte();
  const std::string_view settings = zl::fuzz::AsText(input.Bytes(input.Byte()));
  const std::span<const std::uint8_t> bytes = input.Rest();
  const std::uint32_t direction = (flags & 1) ? zl::engine::DIRECTION_OUTBOUND : zl::engine::DIRECTION_INBOUND;

  zl::engine::FilterRules rules;
  zl::engine::ApplySettings(settings, rules);

  // Exactly the frame's bytes on the heap: nothing before or after is readable.
  const std::size_t length = bytes.size();
  const auto frame = std::make_unique<std::uint8_t[]>(length == 0 ? 1 : length);
  std::memcpy(frame.get(), bytes.data(), length);
  const std::uint8_t* f = length == 0 ? nullptr : frame.get();

  Noted noted;
  Candidates candidates;
  const Verdict verdict = zl::engine::JudgeFrame(f, length, direction, rules, noted, candidates);

  const bool ipTcpUdp = length >= 34 && f[12] == 0x08 && f[13] == 0x00 && (f[23] == 6 || f[23] == 17);
  ZL_FUZZ_CHECK(noted.addresses.size() == (ipTcpUdp ? 1u : 0u));
  bool expectedPass = true;
  bool candidate = false;
  if (ipTcpUdp) {
    ZL_FUZZ_CHECK(noted.addresses[0].first == Dotted(f + 30) && noted.addresses[0].second == Dotted(f + 26));
    const bool tcp = f[23] == 6;
    const std::size_t ports = 14 + 4u * (f[14] & 0x0F);
    const bool outbound = direction == zl::engine::DIRECTION_OUTBOUND;
    const std::uint8_t* hotspotSide = outbound ? f + 26 : f + 30;
    const bool hotspot = Dotted(hotspotSide) == zl::engine::HotspotAddress;
    const std::size_t portOffset = outbound ? ports : ports + 2;
    if (!hotspot && length >= portOffset + 2) {
      const auto port = static_cast<std::uint16_t>(f[portOffset] << 8 | f[portOffset + 1]);
      expectedPass = tcp ? zl::engine::TcpPortAllowed(rules, port) : zl::engine::UdpPortAllowed(rules, port);
      candidate = !outbound && tcp && expectedPass && port == 80 && rules.EnableUrlLog;
    }
  }
  ZL_FUZZ_CHECK(verdict == (expectedPass ? Verdict::Pass : Verdict::Drop));
  ZL_FUZZ_CHECK(candidates.seen.size() == (candidate ? 1u : 0u));
  if (candidate) {
    ZL_FUZZ_CHECK(candidates.seen[0].frame == f && candidates.seen[0].length == length);
    ZL_FUZZ_CHECK(candidates.seen[0].mac == MacOf(f + 6));
  }

  // The URL log line for the frame, whatever its verdict: the extraction
  // meets arbitrary bytes either way.
  const std::string mac = length >= 12 ? MacOf(f + 6) : "00-00-00-00-00-00";
  const std::string_view requestText(reinterpret_cast<const char*>(f), length);
  std::string line = "untouched";
  const zl::LocalDateTime seen{2026, 12, 10, 21, 5, 9, 0};
  if (zl::engine::ComposeUrlLogLine(mac, f, length, seen, line)) {
    CheckLine(line, mac, requestText);
    const std::string_view host = zl::engine::FindRequestHost(requestText);
    ZL_FUZZ_CHECK(!host.empty() && requestText.find(host) != std::string_view::npos);
    ZL_FUZZ_CHECK(zl::engine::IsLoggableResource(zl::engine::FindRequestPath(requestText)));
  } else {
    ZL_FUZZ_CHECK(line == "untouched");
  }
  return 0;
}
