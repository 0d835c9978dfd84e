// The text form of the machine's registry hive, as a corrupted or hand-edited
// "hive" file would hand it to every process of the machine: it either reads
// as a hive or is refused with the hive left empty, never a crash. A hive
// that reads writes out a text that reads again to the very same text, and
// every key and value the text named can be found by its path.
//
// The store reads the file whole and parses it in memory; the target does the
// same without the file, so each run costs only the parse.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "hive.h"

namespace {

using zl::platform::emulated::Hive;
using zl::platform::emulated::HiveKey;

constexpr std::size_t kDeepestChecked = 32;

// Every key reached from the root is found again by its path, and every
// value by its name in its key. False when the tree is deeper than
// kDeepestChecked (those keys are not walked).
bool CheckFindable(HiveKey& root, HiveKey& key, const std::string& path, std::size_t depth) {
  ZL_FUZZ_CHECK(root.Find(path) == &key);
  for (const auto* value : key.Values()) ZL_FUZZ_CHECK(key.Value(value->name) == value);
  bool walked = true;
  for (HiveKey* sub : key.SubKeys()) {
    ZL_FUZZ_CHECK(!sub->Name().empty() && sub->Name().find('\\') == std::string::npos);
    if (depth == kDeepestChecked) return false;
    walked &= CheckFindable(root, *sub, path.empty() ? sub->Name() : path + "\\" + sub->Name(), depth + 1);
  }
  return walked;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Hive hive;
  if (!hive.Parse(text)) {
    ZL_FUZZ_CHECK(hive.Root().SubKeyNames().empty() && hive.Root().Values().empty());
    return 0;
  }
  // Every key is written with its whole path, so a deep chain of keys writes
  // a text that grows with the square of its depth: writing and reading back
  // such a hive costs milliseconds per input and checks nothing a shallower
  // one does not (the hive's own tests take a chain of the deepest allowed).
  if (!CheckFindable(hive.Root(), hive.Root(), "", 0)) return 0;
  const std::string written = hive.Serialize();
  Hive reread;
  ZL_FUZZ_CHECK(reread.Parse(written));
  ZL_FUZZ_CHECK(reread.Serialize() == written);
  return 0;
}
