// The texts of what a point shows (poller/point_source.h): the error line of a mistaken point
// line at load and the debug lines of the rules that make a written value (poller/value_rules.h)
// and of the device points.
//
// Written here as readable UTF-8 and converted once to the Windows-1251 bytes that cross the
// host interface, as the poll cycle's other texts are; run-time data (section names, point
// addresses, OIDs, words of the file) is put in verbatim and the whole line is always the
// argument of "%s".

#ifndef ZELSNMP_POLLER_POINT_MESSAGES_H_
#define ZELSNMP_POLLER_POINT_MESSAGES_H_

#include <string>

#include "poller/point_source.h"

namespace zelsnmp {

struct PointTexts {
  // Debug, each after "OID(point address)" and followed by CR LF.
  std::string rate_base;          // the first value: only a base
  std::string rate_restart;       // the device restarted: the value is the new base
  std::string rate_type_changed;  // the value's type changed: the value is the new base
  std::string rate_no_time;       // no time passed on the device's clock since the base
  std::string out_of_range;       // + the number: the point kind cannot hold it
  std::string no_rtt;             // the value of an @rtt without an answer
};

// The texts in Windows-1251.
const PointTexts& PointMessages();

// The error line of a mistaken point line, in Windows-1251 with its CR LF: "Ошибка в строке
// точки [SECTION], строка N, KEY: WHY", the section, key and word verbatim.
std::string PointMistakeLine(const PointMistake& mistake);

// A number as the debug lines show it: up to 9 significant digits, "." as decimal point.
std::string ShowNumber(double value);

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_POINT_MESSAGES_H_
