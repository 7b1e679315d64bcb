// The rules that turn a value a device reported into the value a point line writes when its
// source carries modifiers (poller/point_source.h): the value, then `rate`, then `scale`, then
// `offset`, then the point kind's own rule (a single float for "#TT", the nearest whole number
// for "#TS"). A line without modifiers is written by point_write.h as it always was.
//
// Rates:
//   - the difference is taken from the values as reported, in 64-bit integers for integer
//     types (never from a float that has lost digits): a Counter32 modulo 2^32, a Counter64
//     modulo 2^64, Integer32, Gauge32 and TimeTicks as their signed difference; decimal text
//     (OCTET STRING, Opaque float or double) as the difference of their numbers;
//   - the time between two values is the device's own sysUpTime.0 when both were answered with
//     it, else the task's monotonic clock at the answers;
//   - the first value, and the first after the device reported no value, is only a base and
//     writes nothing; so is a value of another type than the base's;
//   - a device that restarted (its sysUpTime went back, or its SNMPv3 engine boots went up)
//     writes nothing in that pass and its value is the new base;
//   - a silent device keeps the base, so the next answer gives the average over the gap;
//   - no time passed since the base (the same sysUpTime): nothing is written, the base stays.
// A result the point kind cannot hold (beyond the single range, beyond a 32-bit whole number,
// not a number) is not written; the step says why.

#ifndef ZELSNMP_POLLER_VALUE_RULES_H_
#define ZELSNMP_POLLER_VALUE_RULES_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "poller/point_source.h"
#include "poller/point_write.h"

namespace zelsnmp {

// The OID of sysUpTime.0, the time base of rates; asked beside a rate line when no line of the
// request asks for it.
inline constexpr std::string_view kSysUpTimeOid = "1.3.6.1.2.1.1.3.0";

// The device's sysUpTime.0 in `reply`, when it answered it as TimeTicks.
std::optional<std::uint32_t> ReplyUptime(const TSNMPRec& reply);

// A reported value as a number whose differences can be taken.
struct ReportedNumber {
  enum class Type { kInteger, kCounter32, kCounter64, kDecimal };
  Type type = Type::kInteger;
  std::int64_t integer = 0;    // kInteger, kCounter32 (0 to 2^32 - 1)
  std::uint64_t counter = 0;   // kCounter64
  double decimal = 0;          // kDecimal

  double Value() const;
};

// The number of a value of BER tag `tag` rendered as `text`; nothing when it is none.
std::optional<ReportedNumber> ReadReportedNumber(std::int32_t tag, std::string_view text);

// When a value was read.
struct ValueTime {
  std::optional<std::uint32_t> uptime_ticks;  // sysUpTime.0 of the same answer (1/100 s)
  std::int64_t clock_ms = 0;                  // the task's monotonic clock at the answer
  std::optional<std::int32_t> engine_boots;   // of an SNMPv3 agent, when known
};

// The base of one rate line, kept from pass to pass.
struct RateBase {
  bool set = false;
  ReportedNumber value;
  ValueTime time;
};

enum class ValueStep {
  kWritten,          // `write` carries the result
  kRateBase,         // the first value: the base
  kRateRestart,      // the device restarted: the new base
  kRateTypeChanged,  // another type than the base's: the new base
  kRateNoTime,       // no time passed since the base: the base stays
  kNotANumber,       // the reported value is no number
  kOutOfRange,       // the result does not fit the point kind (`number` shows it)
};

struct ModifiedValue {
  ValueStep step = ValueStep::kNotANumber;
  double number = 0;  // the result before the kind's rule (kWritten, kOutOfRange)
  PointWrite write = PointWrite();
};

// The value a line with modifiers writes from a reported value (`tag`, `text`); `base` is the
// line's rate base (used and moved on when the source has `rate`).
ModifiedValue ApplyModifiers(const PointSource& source, PointKind kind, std::int32_t tag,
                             std::string_view text, RateBase* base, const ValueTime& time);

// Scale, offset and the kind's rule applied to a number the task itself measured (a device
// point's value).
ModifiedValue ApplyScaleAndKind(const PointSource& source, PointKind kind, double value);

// The rate bases of the agents' lines, kept from pass to pass; those of an agent whose section
// changed are dropped.
class RateBook {
 public:
  RateBase& BaseOf(const std::string& section_name, std::size_t agent, std::size_t line_count,
                   std::size_t line);

 private:
  struct AgentBases {
    std::string section_name;
    std::vector<RateBase> lines;
  };
  std::vector<AgentBases> agents_;
};

}  // namespace zelsnmp

#endif  // ZELSNMP_POLLER_VALUE_RULES_H_
