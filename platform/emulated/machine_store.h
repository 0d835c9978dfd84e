// The store of an emulated machine: the directory named by ZEPHLINK_MACHINE
// holds the registry hive (the file "hive") of the local machine. Every
// process of the machine reads and changes it under an inter-process lock;
// a change replaces the file atomically, so concurrent writers lose nothing
// and a reader never sees half a change.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "hive.h"

namespace zl::platform::emulated {

// The machine's directory (native Linux path, no trailing "/"); empty when
// ZEPHLINK_MACHINE is not set.
std::string MachineDirectory();

// The key below the hive's root holding the machine's simulation state
// (adapters, clients, hosted network, sharing, firewall, faults, services).
inline constexpr const char* kMachineKey = "EmulatedMachine";

// Each returns a platform error number: ERROR_FILE_NOT_FOUND without a
// machine, ERROR_ACCESS_DENIED when the process may not write the store.
// Exceptions of the callback propagate after the lock is released.
std::uint32_t ReadMachine(const std::function<void(const Hive&)>& reader);
// The writer returns whether it changed anything; only then is the hive saved.
std::uint32_t UpdateMachine(const std::function<bool(Hive&)>& writer);
// The same for the machine in `directory` (native path).
std::uint32_t UpdateMachineIn(const std::string& directory, const std::function<bool(Hive&)>& writer);

// Whether this process may write the store (the file permissions of the
// hive and its directory for the effective user).
bool MachineWritable();

// Creates the directory (if needed) with an empty hive; false on failure.
bool InitialiseMachineDirectory(const std::string& directory);

}  // namespace zl::platform::emulated
