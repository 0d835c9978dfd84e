// Runs a fuzz target once over every file named on the command line, or over
// every file of each directory named there (sorted, so a run is repeatable).
// A target signals a broken property by aborting, as under libFuzzer; a
// sanitizer finding ends the program the same way. Exit 0 means every input
// ran through; a missing directory counts as empty (a target may have no
// regression cases yet).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    } else if (std::filesystem::exists(path)) {
      files.push_back(path);
    }
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::fprintf(stderr, "%s\n", file.c_str());
    const std::vector<std::uint8_t> bytes = ReadFile(file);
    // An empty vector's data() may be null; a target always gets a valid pointer.
    static const std::uint8_t kNothing = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
  }
  std::printf("%zu inputs replayed\n", files.size());
  return 0;
}
