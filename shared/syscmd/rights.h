// The rights of the running program.
#pragma once

namespace zl::syscmd {

// Whether the process's access token holds the built-in Administrators
// group, whatever the group's attributes (a deny-only entry counts). Raises
// PlatformError when the group identifier or the group list cannot be had.
bool IsUserAdministrator();

// Whether the process may write the machine-wide autostart key: a probe
// value is written and deleted again.
bool CanWriteMachineSettings();

}  // namespace zl::syscmd
