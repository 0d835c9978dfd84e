// The in-memory form of the machine's registry hive, and its text form on
// disk. Key and value names keep the case they were created with and are
// looked up without regard to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zl::platform::emulated {

// Letter case folded for comparison (ASCII and the Latin-1 letters of code page 1252).
std::string FoldCase(const std::string& text);
// Splits "A\B\C" into its names; empty names (doubled or outer "\") are dropped.
std::vector<std::string> SplitKeyPath(const std::string& path);

// The registry's own limit on key depth. The hive's code walks a tree
// recursively (writing, copying, freeing it), so a text naming a deeper key
// is refused as corrupt rather than left to exhaust the stack of every
// process that reads it.
inline constexpr std::size_t kMaxKeyDepth = 512;

struct HiveValue {
  std::string name;
  std::uint32_t type = 0;
  std::string data;
};

class HiveKey {
 public:
  explicit HiveKey(std::string name = {}) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }

  HiveKey* Find(const std::string& path);
  const HiveKey* Find(const std::string& path) const;
  // Finds the key, creating it and its missing parents.
  HiveKey& FindOrCreate(const std::string& path);
  bool DeleteSubKey(const std::string& name);

  const HiveValue* Value(const std::string& name) const;
  void SetValue(const std::string& name, std::uint32_t type, std::string data);
  bool DeleteValue(const std::string& name);

  std::vector<std::string> SubKeyNames() const;
  std::vector<const HiveValue*> Values() const;
  std::vector<HiveKey*> SubKeys();

  // Convenience readers for the machine's own state; the fallback when the
  // value is missing or of another type.
  std::string String(const std::string& name, const std::string& fallback = {}) const;
  std::uint32_t Dword(const std::string& name, std::uint32_t fallback = 0) const;
  std::vector<std::string> MultiString(const std::string& name) const;
  void SetString(const std::string& name, const std::string& text);
  void SetDword(const std::string& name, std::uint32_t number);
  void SetMultiString(const std::string& name, const std::vector<std::string>& texts);

 private:
  friend class Hive;
  std::string name_;
  std::map<std::string, HiveValue> values_;                   // by folded name
  std::map<std::string, std::unique_ptr<HiveKey>> subKeys_;  // by folded name
};

class Hive {
 public:
  HiveKey& Root() { return root_; }
  const HiveKey& Root() const { return root_; }

  std::string Serialize() const;
  // False when the text is not a hive (or names a key deeper than
  // kMaxKeyDepth); the hive is then left empty.
  bool Parse(const std::string& text);

 private:
  HiveKey root_;
};

}  // namespace zl::platform::emulated
