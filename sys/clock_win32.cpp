#include "sys/clock.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zelsnmp {

std::uint32_t TickCountMs() { return GetTickCount(); }

LocalTime LocalTimeNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  LocalTime result;
  result.year = now.wYear;
  result.month = now.wMonth;
  result.day = now.wDay;
  result.hour = now.wHour;
  result.minute = now.wMinute;
  result.second = now.wSecond;
  result.millisecond = now.wMilliseconds;
  return result;
}

}  // namespace zelsnmp
