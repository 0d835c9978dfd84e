// "zlmachine reg": the local machine's registry.
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "platform/emulated/native_names.h"
#include "zl/platform/registry.h"

namespace zl::tools::zlmachine {

using namespace platform;
using emulated::Cp1252ToUtf8;
using emulated::Utf8ToCp1252;

namespace {

const char* TypeName(std::uint32_t type) {
  switch (type) {
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case kRegMultiSz: return "REG_MULTI_SZ";
    default: return "REG_NONE";
  }
}

std::string Render(const RegistryValue& value) {
  char part[16];
  switch (value.type) {
    case kRegSz:
    case kRegExpandSz: return Cp1252ToUtf8(StringFromValue(value));
    case kRegDword: {
      std::uint32_t n = 0;
      for (int i = 3; i >= 0 && value.data.size() == 4; --i) n = (n << 8) | static_cast<unsigned char>(value.data[i]);
      std::snprintf(part, sizeof part, "0x%x", n);
      return part;
    }
    case kRegMultiSz: {
      std::string text;
      for (const auto& s : MultiStringFromValue(value)) text += (text.empty() ? "" : "\\0") + Cp1252ToUtf8(s);
      return text;
    }
    default: {
      std::string text;
      for (unsigned char b : value.data) {
        std::snprintf(part, sizeof part, "%02X", b);
        text += part;
      }
      return text;
    }
  }
}

bool ParseValue(const std::string& type, const std::string& data, RegistryValue& value) {
  if (type == "REG_SZ" || type == "REG_EXPAND_SZ") {
    value = MakeStringValue(Utf8ToCp1252(data), type == "REG_SZ" ? kRegSz : kRegExpandSz);
  } else if (type == "REG_DWORD") {
    value = MakeDwordValue(static_cast<std::uint32_t>(std::strtoul(data.c_str(), nullptr, 0)));
  } else if (type == "REG_MULTI_SZ") {
    std::vector<std::string> texts;
    std::string current;
    for (char c : Utf8ToCp1252(data) + ";") {
      if (c == ';') {
        if (!current.empty()) texts.push_back(current);
        current.clear();
      } else {
        current += c;
      }
    }
    value = MakeMultiStringValue(texts);
  } else if (type == "REG_BINARY") {
    if (data.size() % 2) return false;
    value = {kRegBinary, ""};
    for (std::size_t i = 0; i < data.size(); i += 2) {
      value.data += static_cast<char>(std::strtoul(data.substr(i, 2).c_str(), nullptr, 16));
    }
  } else {
    return false;
  }
  return true;
}

int Report(std::uint32_t status, const std::string& what) {
  if (status == 0) return 0;
  std::fprintf(stderr, "zlmachine: %s: error %u\n", what.c_str(), status);
  return 1;
}

int Query(const std::string& path, const Args& args) {
  RegistryKey key;
  if (const auto status = key.Open(path, kKeyRead); status != 0) return Report(status, "cannot open the key");
  std::vector<std::string> names;
  if (args.size() == 3) {
    names.push_back(Utf8ToCp1252(args[2]));
  } else {
    key.EnumerateValues(names);
  }
  std::printf("HKEY_LOCAL_MACHINE\\%s\n", Cp1252ToUtf8(path).c_str());
  for (const auto& name : names) {
    RegistryValue value;
    if (const auto status = key.QueryValue(name, value); status != 0) return Report(status, "cannot read the value");
    std::printf("    %s    %s    %s\n", name.empty() ? "(Default)" : Cp1252ToUtf8(name).c_str(), TypeName(value.type),
                Render(value).c_str());
  }
  if (args.size() < 3) {
    std::vector<std::string> subKeys;
    key.EnumerateSubKeys(subKeys);
    for (const auto& sub : subKeys) std::printf("HKEY_LOCAL_MACHINE\\%s\\%s\n", Cp1252ToUtf8(path).c_str(), Cp1252ToUtf8(sub).c_str());
  }
  return 0;
}

}  // namespace

int Registry(const Args& args) {
  if (args.size() < 2) return UsageError("reg query|set|delete KEY ...");
  std::string path = Utf8ToCp1252(args[1]);
  for (const char* prefix : {"HKEY_LOCAL_MACHINE\\", "HKLM\\"}) {
    if (path.rfind(prefix, 0) == 0) path = path.substr(std::string(prefix).size());
  }
  if (args[0] == "query" && args.size() <= 3) return Query(path, args);
  if (args[0] == "set" && args.size() == 5) {
    RegistryValue value;
    if (!ParseValue(args[3], args[4], value)) return UsageError("unknown type or bad data: " + args[3]);
    RegistryKey key;
    if (const auto status = key.Create(path, kKeyWrite); status != 0) return Report(status, "cannot open the key");
    return Report(key.SetValue(Utf8ToCp1252(args[2]), value), "cannot store the value");
  }
  if (args[0] == "delete" && args.size() == 3) {
    RegistryKey key;
    if (const auto status = key.Open(path, kKeyWrite | kKeyRead); status != 0) return Report(status, "cannot open the key");
    return Report(key.DeleteValue(Utf8ToCp1252(args[2])), "cannot delete the value");
  }
  if (args[0] == "delete" && args.size() == 2) {
    const auto slash = path.rfind('\\');
    if (slash == std::string::npos) return UsageError("refusing to delete a top-level key");
    RegistryKey parent;
    if (const auto status = parent.Open(path.substr(0, slash), kKeyWrite | kKeyRead); status != 0) {
      return Report(status, "cannot open the parent key");
    }
    return Report(parent.DeleteSubKeyTree(path.substr(slash + 1)), "cannot delete the key");
  }
  return UsageError("reg query KEY [VALUE] | reg set KEY VALUE TYPE DATA | reg delete KEY [VALUE]");
}

}  // namespace zl::tools::zlmachine
