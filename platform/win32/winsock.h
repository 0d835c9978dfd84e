// Winsock must be started in a process before its first socket call. The
// boundary's socket calls start it themselves (once; it stays up until the
// process ends), so a caller never meets WSANOTINITIALISED.
#pragma once

namespace zl::platform::win32 {

void EnsureWinsock();

}  // namespace zl::platform::win32
