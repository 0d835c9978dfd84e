// The driver's start parameters, kept in its service key
// ("SYSTEM\CurrentControlSet\Services\VORLANEX\Parameters"). The driver reads
// them only when it starts, so a value written here takes effect at its next
// start; reading gives what that start would see (0 when the value is missing
// or not a REG_DWORD, as the driver treats it).
#pragma once

#include <cstdint>

namespace zl::vorlanexapi {

inline constexpr const char* kDriverParametersKey = "SYSTEM\\CurrentControlSet\\Services\\VORLANEX\\Parameters";
inline constexpr const char* kMtuDecrementValue = "MTUDecrement";
inline constexpr const char* kStartupModeValue = "StartupMode";

// False when the key cannot be created or written (e.g. without administrator rights).
bool WriteDriverParameter(const char* name, std::uint32_t value);
std::uint32_t ReadDriverParameter(const char* name);

}  // namespace zl::vorlanexapi
