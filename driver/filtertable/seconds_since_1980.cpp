#include "driver/filtertable/filter_table.h"

namespace zl::driver {

ULONG SecondsSince1980() {
  LARGE_INTEGER now;
  KeQuerySystemTime(&now);
  TIME_FIELDS start;
  RtlZeroMemory(&start, sizeof start);
  start.Year = 1980;
  start.Month = 1;
  start.Day = 1;
  LARGE_INTEGER origin;
  RtlTimeFieldsToTime(&start, &origin);
  return ULONG((now.QuadPart - origin.QuadPart) / 10000000LL);
}

}  // namespace zl::driver
