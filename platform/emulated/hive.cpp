#include "hive.h"

#include <sstream>

#include "zl/platform/registry.h"

namespace zl::platform::emulated {
namespace {

char FoldChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<char>(b + 32);
  return c;
}

constexpr char kHex[] = "0123456789ABCDEF";

// Names and paths are written with every blank, control, "%" and non-ASCII
// byte as %XX, so a line splits at blanks without ambiguity; a leading "="
// keeps an empty name (the default value, the root key) a field of its own.
std::string Escape(const std::string& text) {
  std::string out;
  for (unsigned char b : text) {
    if (b <= 0x20 || b == '%' || b >= 0x7F) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unescape(const std::string& field, std::string& out) {
  out.clear();
  if (field.empty() || field[0] != '=') return false;
  const std::string text = field.substr(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int hi = HexDigit(text[i + 1]);
    const int lo = HexDigit(text[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

std::string ToHex(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

bool FromHex(const std::string& text, std::string& out) {
  if (text.size() % 2) return false;
  out.clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = HexDigit(text[i]);
    const int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

void SerializeKey(const HiveKey& key, const std::string& path, std::ostringstream& out) {
  out << "K =" << Escape(path) << '\n';
  for (const HiveValue* value : key.Values()) {
    out << "V =" << Escape(value->name) << ' ' << value->type << ' ' << ToHex(value->data) << '\n';
  }
  for (HiveKey* sub : const_cast<HiveKey&>(key).SubKeys()) {
    SerializeKey(*sub, path.empty() ? sub->Name() : path + "\\" + sub->Name(), out);
  }
}

constexpr const char* kHeader = "ZLHIVE 1";

}  // namespace

std::string FoldCase(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = FoldChar(c);
  return out;
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
  std::vector<std::string> names;
  std::string current;
  for (char c : path) {
    if (c == '\\') {
      if (!current.empty()) names.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) names.push_back(current);
  return names;
}

HiveKey* HiveKey::Find(const std::string& path) {
  HiveKey* key = this;
  for (const std::string& name : SplitKeyPath(path)) {
    const auto it = key->subKeys_.find(FoldCase(name));
    if (it == key->subKeys_.end()) return nullptr;
    key = it->second.get();
  }
  return key;
}

const HiveKey* HiveKey::Find(const std::string& path) const { return const_cast<HiveKey*>(this)->Find(path); }

HiveKey& HiveKey::FindOrCreate(const std::string& path) {
  HiveKey* key = this;
  for (const std::string& name : SplitKeyPath(path)) {
    auto& slot = key->subKeys_[FoldCase(name)];
    if (!slot) slot = std::make_unique<HiveKey>(name);
    key = slot.get();
  }
  return *key;
}

bool HiveKey::DeleteSubKey(const std::string& name) { return subKeys_.erase(FoldCase(name)) > 0; }

const HiveValue* HiveKey::Value(const std::string& name) const {
  const auto it = values_.find(FoldCase(name));
  return it == values_.end() ? nullptr : &it->second;
}

void HiveKey::SetValue(const std::string& name, std::uint32_t type, std::string data) {
  auto& value = values_[FoldCase(name)];
  if (value.name.empty()) value.name = name;
  value.type = type;
  value.data = std::move(data);
}

bool HiveKey::DeleteValue(const std::string& name) { return values_.erase(FoldCase(name)) > 0; }

std::vector<std::string> HiveKey::SubKeyNames() const {
  std::vector<std::string> names;
  for (const auto& [folded, key] : subKeys_) names.push_back(key->name_);
  return names;
}

std::vector<const HiveValue*> HiveKey::Values() const {
  std::vector<const HiveValue*> values;
  for (const auto& [folded, value] : values_) values.push_back(&value);
  return values;
}

std::vector<HiveKey*> HiveKey::SubKeys() {
  std::vector<HiveKey*> keys;
  for (auto& [folded, key] : subKeys_) keys.push_back(key.get());
  return keys;
}

std::string HiveKey::String(const std::string& name, const std::string& fallback) const {
  const HiveValue* value = Value(name);
  if (!value || (value->type != kRegSz && value->type != kRegExpandSz)) return fallback;
  return StringFromValue({value->type, value->data});
}

std::uint32_t HiveKey::Dword(const std::string& name, std::uint32_t fallback) const {
  const HiveValue* value = Value(name);
  if (!value || value->type != kRegDword || value->data.size() != 4) return fallback;
  std::uint32_t number = 0;
  for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value->data[i]);
  return number;
}

std::vector<std::string> HiveKey::MultiString(const std::string& name) const {
  const HiveValue* value = Value(name);
  if (!value || value->type != kRegMultiSz) return {};
  return MultiStringFromValue({value->type, value->data});
}

void HiveKey::SetString(const std::string& name, const std::string& text) {
  SetValue(name, kRegSz, MakeStringValue(text).data);
}

void HiveKey::SetDword(const std::string& name, std::uint32_t number) {
  SetValue(name, kRegDword, MakeDwordValue(number).data);
}

void HiveKey::SetMultiString(const std::string& name, const std::vector<std::string>& texts) {
  SetValue(name, kRegMultiSz, MakeMultiStringValue(texts).data);
}

std::string Hive::Serialize() const {
  std::ostringstream out;
  out << kHeader << '\n';
  SerializeKey(root_, "", out);
  return out.str();
}

bool Hive::Parse(const std::string& text) {
  root_ = HiveKey();
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) return false;
  HiveKey* current = &root_;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string tag, first;
    fields >> tag;
    if (tag == "K") {
      fields >> first;
      std::string path;
      if (!Unescape(first, path) || SplitKeyPath(path).size() > kMaxKeyDepth) return root_ = HiveKey(), false;
      current = &root_.FindOrCreate(path);
    } else if (tag == "V") {
      std::string hex, name, data;
      std::uint32_t type = 0;
      if (!(fields >> first >> type)) return root_ = HiveKey(), false;
      fields >> hex;  // absent for empty data
      if (!Unescape(first, name) || !FromHex(hex, data)) return root_ = HiveKey(), false;
      current->SetValue(name, type, std::move(data));
    } else {
      root_ = HiveKey();
      return false;
    }
  }
  return true;
}

}  // namespace zl::platform::emulated
