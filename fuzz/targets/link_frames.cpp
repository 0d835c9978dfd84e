// Frame assembly of a link connection fed arbitrary bytes in arbitrary chunks.
// The item's deliveries and buffered state are compared after every chunk
// with a plain model of the frame format: 39-byte marker, signed 64-bit
// length (0 to 1 MiB), payload; a bad header discards everything buffered; a
// handler that raises discards what is still buffered.
//
// Input: one byte k (low 4 bits), k chunk lengths, then the byte stream, cut
// into chunks of those lengths in turn (0 stands for an empty read, up to
// kMaxEmptyReads of them).
#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "shared/messaging/connection_item.h"
#include "shared/messaging/frame_format.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A payload starting with this byte makes the handler raise.
constexpr std::uint8_t kRaisingPayload = 0xEE;
constexpr std::size_t kMaxEmptyReads = 8;

struct ModelAssembler {
  Bytes buffered;
  std::vector<Bytes> delivered;

  void Add(std::span<const std::uint8_t> chunk) {
    buffered.insert(buffered.end(), chunk.begin(), chunk.end());
    while (buffered.size() >= zl::kFrameHeaderSize) {
      if (!std::equal(zl::FrameMarker.begin(), zl::FrameMarker.end(), buffered.begin())) {
        buffered.clear();
        return;
      }
      std::int64_t length = 0;
      std::memcpy(&length, buffered.data() + zl::kFrameMarkerSize, 8);
      if (length < 0 || length > zl::kMaxFramePayloadLength) {
        buffered.clear();
        return;
      }
      const std::size_t frameSize = zl::kFrameHeaderSize + static_cast<std::size_t>(length);
      if (buffered.size() < frameSize) return;
      Bytes payload(buffered.begin() + zl::kFrameHeaderSize, buffered.begin() + static_cast<std::ptrdiff_t>(frameSize));
      buffered.erase(buffered.begin(), buffered.begin() + static_cast<std::ptrdiff_t>(frameSize));
      const bool raises = !payload.empty() && payload[0] == kRaisingPayload;
      delivered.push_back(std::move(payload));
      if (raises) {
        buffered.clear();
        return;
      }
    }
  }

  // The length the item should have taken from a complete header, 0 otherwise.
  std::int64_t Expected() const {
    if (buffered.size() < zl::kFrameHeaderSize) return 0;
    std::int64_t length = 0;
    std::memcpy(&length, buffered.data() + zl::kFrameMarkerSize, 8);
    return length;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zl::fuzz::InputReader input(data, size);
  const std::size_t lengthCount = input.Byte() & 0x0F;
  const std::span<const std::uint8_t> lengths = input.Bytes(lengthCount);
  const std::span<const std::uint8_t> stream = input.Rest();

  auto item = std::make_shared<zl::TrkConnectionItem>();
  std::vector<Bytes> delivered;
  item->ReadComplete = [&](zl::EventSender* sender, zl::TrkConnectionItem& connection, zl::TMemoryStream& payload) {
    ZL_FUZZ_CHECK(sender == item.get() && &connection == item.get());
    ZL_FUZZ_CHECK(payload.Position() == 0);
    const auto bytes = payload.Bytes();
    delivered.emplace_back(bytes.begin(), bytes.end());
    if (!bytes.empty() && bytes[0] == kRaisingPayload) throw std::runtime_error("handler fails");
  };

  ModelAssembler model;
  std::size_t offset = 0;
  std::size_t round = 0;
  std::size_t emptyReads = 0;
  std::size_t compared = 0;  // deliveries already found equal
  while (offset < stream.size()) {
    std::size_t chunkSize = lengths.empty() ? stream.size() : lengths[round++ % lengths.size()];
    // A few empty reads tell all there is to tell; after them a 0 reads one
    // byte, so an input of zero lengths cannot spin.
    if (chunkSize == 0 && ++emptyReads > kMaxEmptyReads) chunkSize = 1;
    chunkSize = std::min(chunkSize, stream.size() - offset);
    const auto chunk = stream.subspan(offset, chunkSize);
    offset += chunkSize;
    item->AssembleFrames(zl::TMemoryStream(chunk));
    model.Add(chunk);

    ZL_FUZZ_CHECK(delivered.size() == model.delivered.size());
    for (; compared < delivered.size(); ++compared) ZL_FUZZ_CHECK(delivered[compared] == model.delivered[compared]);
    ZL_FUZZ_CHECK(item->BufferedByteCount() == model.buffered.size());
    ZL_FUZZ_CHECK(item->ExpectedLength() == model.Expected());
  }
  return 0;
}
