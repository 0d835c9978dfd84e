// Throughput of the codec's scrambler and of frame assembly, each next to a
// plain memcpy of the same bytes measured in the same run as the baseline.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "shared/messaging/connection_item.h"
#include "shared/messaging/frame_format.h"
#include "shared/messaging/message_codec.h"

namespace zl {
namespace {

constexpr std::size_t kSettingsTextBytes = 4096;
constexpr std::size_t kSmallPayloadBytes = 32;  // a code byte and a short text
constexpr int kFramesPerBatch = 64;

// A settings-like text: lines of name=value with CR LF.
std::string SettingsText() {
  std::string text;
  for (int i = 0; text.size() < kSettingsTextBytes; ++i) {
    text += "AllowedTcpPorts" + std::to_string(i) + "=80;443;53;110;143;993;995\r\n";
  }
  text.resize(kSettingsTextBytes);
  return text;
}

void BM_ScrambleSettingsText(benchmark::State& state) {
  const std::string text = SettingsText();
  for (auto _ : state) {
    std::string scrambled = ScrambleText(text, ScrambleSeed, ScrambleDirection::Scramble);
    benchmark::DoNotOptimize(scrambled.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ScrambleSettingsText);

void BM_MemcpySettingsText(benchmark::State& state) {
  const std::string text = SettingsText();
  for (auto _ : state) {
    std::string copy(text.size(), '\0');
    std::memcpy(copy.data(), text.data(), text.size());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_MemcpySettingsText);

// A batch of small frames as one byte string.
std::string FrameBatch() {
  std::string wire;
  for (int i = 0; i < kFramesPerBatch; ++i) {
    TMemoryStream payload;
    const std::string bytes(kSmallPayloadBytes, static_cast<char>('a' + i % 26));
    payload.Write(bytes.data(), bytes.size());
    const TMemoryStream frame = BuildFrame(payload);
    wire.append(frame.Bytes().begin(), frame.Bytes().end());
  }
  return wire;
}

std::vector<TMemoryStream> Chunks(const std::string& wire, std::size_t chunkBytes) {
  std::vector<TMemoryStream> chunks;
  for (std::size_t at = 0; at < wire.size(); at += chunkBytes) {
    TMemoryStream chunk;
    chunk.Write(wire.data() + at, std::min(chunkBytes, wire.size() - at));
    chunks.push_back(std::move(chunk));
  }
  return chunks;
}

void Assemble(benchmark::State& state, std::size_t chunkBytes) {
  const std::string wire = FrameBatch();
  const std::vector<TMemoryStream> chunks = Chunks(wire, chunkBytes);
  auto item = std::make_shared<TrkConnectionItem>();
  std::int64_t delivered = 0;
  item->ReadComplete = [&](EventSender*, TrkConnectionItem&, TMemoryStream& payload) {
    benchmark::DoNotOptimize(payload.Bytes().data());
    ++delivered;
  };
  for (auto _ : state) {
    for (const TMemoryStream& chunk : chunks) item->AssembleFrames(chunk);
  }
  if (delivered != static_cast<std::int64_t>(state.iterations()) * kFramesPerBatch) state.SkipWithError("frames lost");
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(delivered), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(wire.size()));
}

void BM_AssembleFramesArrivingWhole(benchmark::State& state) { Assemble(state, kFrameHeaderSize + kSmallPayloadBytes); }
BENCHMARK(BM_AssembleFramesArrivingWhole);

void BM_AssembleFramesOneBytePerRead(benchmark::State& state) { Assemble(state, 1); }
BENCHMARK(BM_AssembleFramesOneBytePerRead);

// The baseline: the same bytes, in the same chunks, only copied.
void CopyChunks(benchmark::State& state, std::size_t chunkBytes) {
  const std::string wire = FrameBatch();
  const std::vector<TMemoryStream> chunks = Chunks(wire, chunkBytes);
  std::vector<std::uint8_t> target(wire.size());
  for (auto _ : state) {
    std::size_t at = 0;
    for (const TMemoryStream& chunk : chunks) {
      std::memcpy(target.data() + at, chunk.Bytes().data(), chunk.Size());
      at += chunk.Size();
    }
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.counters["frames/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFramesPerBatch, benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(wire.size()));
}

void BM_MemcpyFramesArrivingWhole(benchmark::State& state) { CopyChunks(state, kFrameHeaderSize + kSmallPayloadBytes); }
BENCHMARK(BM_MemcpyFramesArrivingWhole);

void BM_MemcpyFramesOneBytePerRead(benchmark::State& state) { CopyChunks(state, 1); }
BENCHMARK(BM_MemcpyFramesOneBytePerRead);

}  // namespace
}  // namespace zl
