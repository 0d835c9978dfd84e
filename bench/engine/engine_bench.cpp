// Costs of the service's per-frame work, each next to a memcpy of the same
// frame bytes measured in the same run:
//   judging: ns per frame of a realistic mix with the firewall on;
//   URL extraction: ns per HTTP request frame, up to the composed log line;
//   log appends: lines per second into a temporary folder.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "frame_mix.h"
#include "service/engine/frame_judgement.h"
#include "service/engine/url_log_file.h"
#include "service/engine/url_log_line.h"
#include "service/link/client_address_list.h"

namespace {

using zl::bench::FrameMix;
using zl::bench::MixFrame;

const std::vector<MixFrame>& Mix() {
  static const std::vector<MixFrame> mix = FrameMix();
  return mix;
}

zl::engine::FilterRules P2PBlockedRules() {
  zl::engine::FilterRules rules;
  zl::engine::ApplySettings(zl::bench::P2PBlockedSettings(), rules);
  return rules;
}

// Counts the candidates, as the packet thread's hand-off would see them.
class CountingCandidates final : public zl::engine::UrlLogCandidates {
 public:
  void LogRequestUrl(std::string_view clientMac, const std::uint8_t*, std::size_t length) override {
    count += length + clientMac.size();
  }
  std::size_t count = 0;
};

class DiscardingWriter final : public zl::engine::UrlLogLineWriter {
 public:
  void WriteUrlLogLine(const std::string& line) override { benchmark::DoNotOptimize(line.data()); }
};

// The packet buffer every frame is read into.
std::array<std::uint8_t, 1514>& PacketBuffer() {
  static std::array<std::uint8_t, 1514> buffer{};
  return buffer;
}

void BM_MemcpyBaseline(benchmark::State& state, const MixFrame* frame) {
  auto& buffer = PacketBuffer();
  for (auto _ : state) {
    std::memcpy(buffer.data(), frame->bytes.data(), frame->bytes.size());
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_JudgeFrame(benchmark::State& state, const MixFrame* frame) {
  const zl::engine::FilterRules rules = P2PBlockedRules();
  zl::link::ClientAddressList addresses;
  CountingCandidates candidates;
  for (auto _ : state) {
    benchmark::DoNotOptimize(zl::engine::JudgeFrame(frame->bytes.data(), frame->bytes.size(), frame->direction, rules,
                                                    addresses, candidates));
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_MemcpyBaselineMix(benchmark::State& state) {
  auto& buffer = PacketBuffer();
  for (auto _ : state) {
    for (const MixFrame& frame : Mix()) {
      std::memcpy(buffer.data(), frame.bytes.data(), frame.bytes.size());
      benchmark::DoNotOptimize(buffer.data());
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Mix().size()));
}
BENCHMARK(BM_MemcpyBaselineMix);

void BM_JudgeFrameMix(benchmark::State& state) {
  const zl::engine::FilterRules rules = P2PBlockedRules();
  zl::link::ClientAddressList addresses;
  CountingCandidates candidates;
  for (auto _ : state) {
    for (const MixFrame& frame : Mix()) {
      benchmark::DoNotOptimize(zl::engine::JudgeFrame(frame.bytes.data(), frame.bytes.size(), frame.direction, rules,
                                                      addresses, candidates));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Mix().size()));
}
BENCHMARK(BM_JudgeFrameMix);

const MixFrame& HttpFrame() {
  for (const MixFrame& frame : Mix()) {
    if (frame.kind == "tcp_80_get") return frame;
  }
  std::abort();
}

// From the candidate's bytes to the composed line (time stamp included),
// everything but the file write.
void BM_LogRequestUrlBeforeWrite(benchmark::State& state) {
  const MixFrame& frame = HttpFrame();
  zl::VirtualClock clock;
  DiscardingWriter writer;
  for (auto _ : state) {
    zl::engine::LogRequestUrl("02-1A-2B-3C-4D-EF", frame.bytes.data(), frame.bytes.size(), clock, writer);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogRequestUrlBeforeWrite);

// Judging an HTTP request frame and logging it up to the file write.
void BM_JudgeAndLogRequestBeforeWrite(benchmark::State& state) {
  const MixFrame& frame = HttpFrame();
  const zl::engine::FilterRules rules = P2PBlockedRules();
  zl::link::ClientAddressList addresses;
  zl::VirtualClock clock;
  DiscardingWriter writer;
  class Logging final : public zl::engine::UrlLogCandidates {
   public:
    Logging(const zl::Clock& clock, zl::engine::UrlLogLineWriter& writer) : clock_(clock), writer_(writer) {}
    void LogRequestUrl(std::string_view mac, const std::uint8_t* bytes, std::size_t length) override {
      zl::engine::LogRequestUrl(mac, bytes, length, clock_, writer_);
    }

   private:
    const zl::Clock& clock_;
    zl::engine::UrlLogLineWriter& writer_;
  } logging(clock, writer);
  for (auto _ : state) {
    benchmark::DoNotOptimize(zl::engine::JudgeFrame(frame.bytes.data(), frame.bytes.size(), frame.direction, rules,
                                                    addresses, logging));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JudgeAndLogRequestBeforeWrite);

void BM_AppendUrlLogLines(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "zlbench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    state.SkipWithError("cannot create a temporary folder");
    return;
  }
  std::string programPath = pattern;
  for (char& c : programPath) c = c == '/' ? '\\' : c;
  zl::VirtualClock clock;
  zl::engine::UrlLogFile file(programPath + "\\UrlLog", clock);
  const std::string line = "05.01.2026 09:00:00  02-1A-2B-3C-4D-EF  http://www.example.com/news/today.html";
  for (auto _ : state) file.WriteUrlLogLine(line);
  state.SetItemsProcessed(state.iterations());
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
}
BENCHMARK(BM_AppendUrlLogLines);

// Prints each measurement's ratio to its memcpy baseline after the run.
class RatioReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        nsPerIteration_[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nRatios to the memcpy of the same frame bytes (same run):\n");
    for (const MixFrame& frame : Mix()) {
      Ratio("BM_JudgeFrame/" + frame.kind, "BM_MemcpyBaseline/" + frame.kind);
    }
    Ratio("BM_JudgeFrameMix", "BM_MemcpyBaselineMix", Mix().size());
    Ratio("BM_LogRequestUrlBeforeWrite", "BM_MemcpyBaseline/tcp_80_get");
    Ratio("BM_JudgeAndLogRequestBeforeWrite", "BM_MemcpyBaseline/tcp_80_get");
    const auto append = nsPerIteration_.find("BM_AppendUrlLogLines");
    if (append != nsPerIteration_.end() && append->second > 0) {
      std::printf("  %-40s %10.0f lines/s\n", "URL log appends", 1e9 / append->second);
    }
    std::printf("Targets: a non-HTTP frame judged under 100 ns; a loggable request under 1000 ns before the write.\n");
  }

 private:
  void Ratio(const std::string& name, const std::string& baseline, std::size_t framesPerIteration = 1) {
    const auto measured = nsPerIteration_.find(name);
    const auto base = nsPerIteration_.find(baseline);
    if (measured == nsPerIteration_.end() || base == nsPerIteration_.end() || base->second <= 0) return;
    const double perFrame = measured->second / static_cast<double>(framesPerIteration);
    std::printf("  %-40s %8.1f ns/frame  %6.1fx memcpy (%.1f ns/frame)\n", name.c_str(), perFrame,
                measured->second / base->second, base->second / static_cast<double>(framesPerIteration));
  }

  std::map<std::string, double> nsPerIteration_;
};

void RegisterPerFrameBenchmarks() {
  for (const MixFrame& frame : Mix()) {
    benchmark::RegisterBenchmark(("BM_MemcpyBaseline/" + frame.kind).c_str(), BM_MemcpyBaseline, &frame);
    benchmark::RegisterBenchmark(("BM_JudgeFrame/" + frame.kind).c_str(), BM_JudgeFrame, &frame);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RegisterPerFrameBenchmarks();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
