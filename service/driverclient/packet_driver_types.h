// The Windows types of the packet-driver client library's exports, spelled
// portably: a handle is a pointer-sized value, BOOL and DWORD are 32 bits.
// The calling convention is the platform's WINAPI one (stdcall on 32-bit
// Windows, the only ABI where it differs from the default).
#pragma once

#include <cstdint>

namespace zl::driverclient {

using HANDLE = void*;
using BOOL = std::int32_t;
using DWORD = std::uint32_t;

}  // namespace zl::driverclient

#if defined(_WIN32) && !defined(_WIN64)
#define VORLANEX_CALL __stdcall
#else
#define VORLANEX_CALL
#endif
