// Pool tags of the driver's allocations, as they read in memory.
#pragma once

#include <ndis.h>

namespace zl::driver {

constexpr ULONG MakePoolTag(char a, char b, char c, char d) {
  return ULONG(UCHAR(a)) | ULONG(UCHAR(b)) << 8 | ULONG(UCHAR(c)) << 16 | ULONG(UCHAR(d)) << 24;
}

// Records, filter tables, own OID requests, link records, the temporary adapter
// list, and the NBL pool.
constexpr ULONG TAG_DRIVER = MakePoolTag('N', 'd', 'R', 'd');
// Filter module records.
constexpr ULONG TAG_FILTER_MODULE = MakePoolTag('F', 'i', 'l', 't');
// Cloned OID requests.
constexpr ULONG TAG_CLONED_OID = MakePoolTag('F', 'T', 'n', 'd');

}  // namespace zl::driver
