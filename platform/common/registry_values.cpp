// The stored byte forms of registry values, the same on every backend.
#include "zl/platform/registry.h"

namespace zl::platform {

RegistryValue MakeStringValue(const std::string& text, std::uint32_t type) {
  return {type, text + '\0'};
}

RegistryValue MakeDwordValue(std::uint32_t number) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  return {kRegDword, data};
}

RegistryValue MakeMultiStringValue(const std::vector<std::string>& texts) {
  std::string data;
  for (const std::string& text : texts) data += text + '\0';
  data += '\0';
  return {kRegMultiSz, data};
}

std::string StringFromValue(const RegistryValue& value) {
  return value.data.substr(0, value.data.find('\0'));
}

std::vector<std::string> MultiStringFromValue(const RegistryValue& value) {
  std::vector<std::string> texts;
  std::size_t start = 0;
  while (start < value.data.size()) {
    const std::size_t end = value.data.find('\0', start);
    const std::string text = value.data.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (text.empty()) break;
    texts.push_back(text);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return texts;
}

}  // namespace zl::platform
