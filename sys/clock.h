// Time as the task and the stand-in of the host libraries read it.
//
// TickCountMs is the platform's millisecond tick count: it counts from an arbitrary start and
// wraps around like a 32-bit counter (about every 49.7 days), so only differences and the bit
// pattern mean anything. LocalTimeNow is the wall-clock time of the local time zone.

#ifndef ZELSNMP_SYS_CLOCK_H_
#define ZELSNMP_SYS_CLOCK_H_

#include <cstdint>

namespace zelsnmp {

std::uint32_t TickCountMs();

struct LocalTime {
  int year = 0;    // e.g. 2024
  int month = 0;   // 1 to 12
  int day = 0;     // 1 to 31
  int hour = 0;    // 0 to 23
  int minute = 0;  // 0 to 59
  int second = 0;  // 0 to 60
  int millisecond = 0;
};

LocalTime LocalTimeNow();

}  // namespace zelsnmp

#endif  // ZELSNMP_SYS_CLOCK_H_
