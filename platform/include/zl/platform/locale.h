// Date and time texts in the user's locale.
#pragma once

#include <string>

#include "zl/platform/local_date_time.h"

namespace zl::platform {

// The platform's default date-and-time text: the short date, a space, the
// long time, in the locale of the calling process's account (on Windows the
// user's regional settings).
//
// The emulated machine takes the time locale from LC_ALL, LC_TIME or LANG
// (the first one set), once per process, and writes the year with four
// digits. Without a locale, or with "C"/"POSIX" or one the system lacks, it
// uses the programs' built-in German form "dd.mm.yyyy hh:nn:ss".
std::string FormatDefaultDateTime(const LocalDateTime& time);

}  // namespace zl::platform
