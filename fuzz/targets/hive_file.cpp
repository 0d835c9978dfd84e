// The text form of the machine's registry hive, as a corrupted or hand-edited
// "hive" file would hand it to every process of the machine: it either reads
// as a hive or is refused with the hive left empty, never a crash. A hive
// that reads writes out a text that reads back into the same tree, and every
// key and value can be found by its name.
//
// The store reads the file whole and parses it in memory; the target does the
// same without the file, so each run costs only the parse. (An input's cost
// is the hive's: a text stream per line, a map per key, and key lines that
// carry their whole path.)
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "hive.h"

namespace {

using zl::platform::emulated::Hive;
using zl::platform::emulated::HiveKey;

constexpr std::size_t kDeepestChecked = 32;

// Every key is found again by its name in its parent, whatever the letter
// case, and every value by its name in its key. False when the tree is deeper
// than kDeepestChecked (those keys are not walked).
bool CheckFindable(HiveKey& key, std::size_t depth) {
  for (const auto* value : key.Values()) ZL_FUZZ_CHECK(key.Value(value->name) == value);
  bool walked = true;
  for (HiveKey* sub : key.SubKeys()) {
    ZL_FUZZ_CHECK(!sub->Name().empty() && sub->Name().find('\\') == std::string::npos);
    ZL_FUZZ_CHECK(key.Find(sub->Name()) == sub);
    if (depth == kDeepestChecked) return false;
    walked &= CheckFindable(*sub, depth + 1);
  }
  return walked;
}

// The same keys with the same names, values and data, in the same order.
bool SameTree(HiveKey& a, HiveKey& b) {
  if (a.Name() != b.Name()) return false;
  const auto valuesA = a.Values();
  const auto valuesB = b.Values();
  if (valuesA.size() != valuesB.size()) return false;
  for (std::size_t i = 0; i < valuesA.size(); ++i) {
    if (valuesA[i]->name != valuesB[i]->name || valuesA[i]->type != valuesB[i]->type ||
        valuesA[i]->data != valuesB[i]->data) {
      return false;
    }
  }
  const auto keysA = a.SubKeys();
  const auto keysB = b.SubKeys();
  if (keysA.size() != keysB.size()) return false;
  for (std::size_t i = 0; i < keysA.size(); ++i) {
    if (!SameTree(*keysA[i], *keysB[i])) return false;
  }
  return true;
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
  if (!CheckFindable(hive.Root(), 0)) return 0;
  const std::string written = hive.Serialize();
  // The text reads back into the same tree, which writes the same text
  // again (the writing is a function of the tree alone).
  Hive reread;
  ZL_FUZZ_CHECK(reread.Parse(written));
  ZL_FUZZ_CHECK(SameTree(hive.Root(), reread.Root()));
  return 0;
}
