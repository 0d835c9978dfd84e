#include "zl/platform/locale.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace zl::platform {
namespace {

struct TimeLocale {
  locale_t handle = nullptr;  // null: the German default
  std::string format;         // strftime form of short date, space, long time
};

std::string_view LocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

bool IsNeutralLocale(std::string_view name) {
  return name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.");
}

// Short dates show the full year, as the platform's defaults do.
std::string WithFullYear(std::string format) {
  for (std::size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (format[i + 1] == 'y') format[i + 1] = 'Y';
    ++i;
  }
  return format;
}

TimeLocale LoadTimeLocale() {
  TimeLocale result;
  const std::string name(LocaleName());
  if (IsNeutralLocale(name)) return result;
  locale_t handle = newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (handle == static_cast<locale_t>(nullptr)) return result;
  const char* date = nl_langinfo_l(D_FMT, handle);
  const char* time = nl_langinfo_l(T_FMT, handle);
  if (date == nullptr || time == nullptr || *date == '\0' || *time == '\0') {
    freelocale(handle);
    return result;
  }
  result.handle = handle;  // kept for the life of the process
  result.format = WithFullYear(date) + " " + time;
  return result;
}

// 0 = Sunday (Sakamoto's method); some locales name the weekday in their date.
int DayOfWeek(int year, int month, int day) {
  static constexpr int kMonthOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) --year;
  return (year + year / 4 - year / 100 + year / 400 + kMonthOffsets[(month - 1) % 12] + day) % 7;
}

const TimeLocale& ProcessTimeLocale() {
  static const TimeLocale locale = LoadTimeLocale();
  return locale;
}

}  // namespace

std::string FormatDefaultDateTime(const LocalDateTime& time) {
  const TimeLocale& locale = ProcessTimeLocale();
  char text[128];
  if (locale.handle == nullptr) {
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", time.day, time.month, time.year, time.hour,
                  time.minute, time.second);
    return text;
  }
  std::tm fields{};
  fields.tm_year = time.year - 1900;
  fields.tm_mon = time.month - 1;
  fields.tm_mday = time.day;
  fields.tm_hour = time.hour;
  fields.tm_min = time.minute;
  fields.tm_sec = time.second;
  fields.tm_wday = DayOfWeek(time.year, time.month, time.day);
  const std::size_t length = strftime_l(text, sizeof text, locale.format.c_str(), &fields, locale.handle);
  return std::string(text, length);
}

}  // namespace zl::platform
