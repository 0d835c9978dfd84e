// A calendar date and wall-clock time in the machine's local time zone.
#pragma once

namespace zl::platform {

struct LocalDateTime {
  int year = 2000;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;

  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

}  // namespace zl::platform
