// The control panel's stored settings: named values under the settings key of
// the machine-wide hive, and the autostart value in the machine's autostart
// key. Every accessor catches its own errors: a failed read gives the value's
// default, a failed write is dropped and reports nothing.
#pragma once

#include <string>

namespace zl::panel::settings {

inline constexpr const char* kSettingsKey = "SOFTWARE\\Quendral\\Zephlink";
inline constexpr const char* kAutostartKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kAutostartValue = "Zephlink";

inline constexpr const char* kDefaultHotspotName = "Zephlink";
inline constexpr const char* kDefaultHotspotKey = "40718263";

// Trimmed; the default when empty or unreadable.
std::string ReadHotspotName();
std::string ReadHotspotKey();
// Stored trimmed.
void WriteHotspotName(const std::string& name);
void WriteHotspotKey(const std::string& key);

// Default true; only a 32-bit integer value counts, any non-zero is true.
bool ReadEnableICS();
void WriteEnableICS(bool enabled);

// Name of the preferred Internet connection, trimmed; empty when missing.
std::string ReadInternet();
// Stored as given, possibly empty.
void WriteInternet(const std::string& name);

// Default false.
bool ReadDisableP2P();
void WriteDisableP2P(bool disable);

// Default true.
bool ReadEnableUrlLog();
void WriteEnableUrlLog(bool enabled);

// On exactly when the autostart value, trimmed, is the running program's
// full path, letter case included.
bool ReadAutoStart();
// On stores the program's full path (no quotes, no arguments); off deletes
// the value.
void WriteAutoStart(bool enabled);

}  // namespace zl::panel::settings
