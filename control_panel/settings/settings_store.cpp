#include "control_panel/settings/settings_store.h"

#include "shared/support/trim.h"
#include "shared/syscmd/registry_commands.h"
#include "zl/platform/process.h"

namespace zl::panel::settings {
namespace {

std::string ReadString(const char* key, const char* value) {
  try {
    return Trim(syscmd::ReadRegString(key, value));
  } catch (...) {
    return {};
  }
}

std::string ReadStringOr(const char* value, const char* fallback) {
  const std::string text = ReadString(kSettingsKey, value);
  return text.empty() ? fallback : text;
}

bool ReadBool(const char* value, bool fallback) {
  try {
    if (!syscmd::RegValueExists(kSettingsKey, value)) return fallback;
    return syscmd::ReadRegBool(kSettingsKey, value);
  } catch (...) {
    return fallback;
  }
}

void WriteString(const char* value, const std::string& text) {
  try {
    syscmd::WriteRegString(kSettingsKey, value, text);
  } catch (...) {
    // A failed write leaves the store as it was; the control keeps its state.
  }
}

void WriteBool(const char* value, bool flag) {
  try {
    syscmd::WriteRegBool(kSettingsKey, value, flag);
  } catch (...) {
  }
}

}  // namespace

std::string ReadHotspotName() { return ReadStringOr("HotspotName", kDefaultHotspotName); }
std::string ReadHotspotKey() { return ReadStringOr("HotspotKey", kDefaultHotspotKey); }
void WriteHotspotName(const std::string& name) { WriteString("HotspotName", Trim(name)); }
void WriteHotspotKey(const std::string& key) { WriteString("HotspotKey", Trim(key)); }

bool ReadEnableICS() { return ReadBool("EnableICS", true); }
void WriteEnableICS(bool enabled) { WriteBool("EnableICS", enabled); }

std::string ReadInternet() { return ReadString(kSettingsKey, "Internet"); }
void WriteInternet(const std::string& name) { WriteString("Internet", name); }

bool ReadDisableP2P() { return ReadBool("DisableP2P", false); }
void WriteDisableP2P(bool disable) { WriteBool("DisableP2P", disable); }

bool ReadEnableUrlLog() { return ReadBool("EnableUrlLog", true); }
void WriteEnableUrlLog(bool enabled) { WriteBool("EnableUrlLog", enabled); }

bool ReadAutoStart() {
  try {
    return ReadString(kAutostartKey, kAutostartValue) == platform::ProgramFile();
  } catch (...) {
    return false;
  }
}

void WriteAutoStart(bool enabled) {
  try {
    if (enabled) {
      syscmd::WriteRegString(kAutostartKey, kAutostartValue, platform::ProgramFile());
    } else {
      syscmd::DeleteRegValue(kAutostartKey, kAutostartValue);
    }
  } catch (...) {
  }
}

}  // namespace zl::panel::settings
