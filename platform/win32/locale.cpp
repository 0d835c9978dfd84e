// The user's short date and long time, as the regional settings give them.
#include "zl/platform/locale.h"

#include <windows.h>

#include <cstdio>

#include "text.h"

namespace zl::platform {

std::string FormatDefaultDateTime(const LocalDateTime& time) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(time.year);
  st.wMonth = static_cast<WORD>(time.month);
  st.wDay = static_cast<WORD>(time.day);
  st.wHour = static_cast<WORD>(time.hour);
  st.wMinute = static_cast<WORD>(time.minute);
  st.wSecond = static_cast<WORD>(time.second);
  st.wMilliseconds = static_cast<WORD>(time.millisecond);
  wchar_t date[128];
  wchar_t clock[128];
  const int dateLength = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 128);
  const int timeLength = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, clock, 128);
  if (dateLength <= 0 || timeLength <= 0) {
    // An out-of-range date (or a broken locale): the programs' own form.
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", time.day, time.month, time.year, time.hour,
                  time.minute, time.second);
    return text;
  }
  return win32::Narrow(date, static_cast<std::size_t>(dateLength - 1)) + " " +
         win32::Narrow(clock, static_cast<std::size_t>(timeLength - 1));
}

}  // namespace zl::platform
