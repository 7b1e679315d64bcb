#include "poller/value_rules.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "snmp/ber.h"
#include "snmp/snmp_message.h"
#include "util/parse_float.h"

namespace zelsnmp {

std::optional<std::uint32_t> ReplyUptime(const TSNMPRec& reply) {
  const TSNMPMib* binding = FindReplyBinding(reply, kSysUpTimeOid);
  if (binding == nullptr || binding->ValueTag != TagTimeTicks) return std::nullopt;
  const std::optional<ReportedNumber> ticks =
      ReadReportedNumber(binding->ValueTag, binding->ValueText);
  if (!ticks) return std::nullopt;
  return static_cast<std::uint32_t>(ticks->integer);
}

namespace {

// The smallest magnitude that rounds to infinity in single precision (as point_write.cpp).
constexpr double kSingleOverflowMagnitude = 0x1.ffffffp127;
constexpr double kMillisecondsPerTick = 10;
constexpr double kMillisecondsPerSecond = 1000;

template <typename Number>
bool ReadWhole(std::string_view text, Number& number) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  return !text.empty() && error == std::errc() && stop == end;
}

// A 32-bit unsigned value, rendered unsigned or, as older renderings do, as its negative
// 32-bit pattern.
bool ReadUnsigned32(std::string_view text, std::int64_t& number) {
  if (!ReadWhole(text, number) || number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::uint32_t>::max()) {
    return false;
  }
  number = number & 0xFFFFFFFFll;
  return true;
}

struct Difference {
  bool comparable = false;
  double value = 0;
};

Difference Subtract(const ReportedNumber& now, const ReportedNumber& base) {
  if (now.type != base.type) return {};
  switch (now.type) {
    case ReportedNumber::Type::kCounter32: {
      const auto wrapped =
          static_cast<std::uint32_t>(static_cast<std::uint32_t>(now.integer) -
                                     static_cast<std::uint32_t>(base.integer));
      return {true, static_cast<double>(wrapped)};
    }
    case ReportedNumber::Type::kCounter64:
      return {true, static_cast<double>(now.counter - base.counter)};
    case ReportedNumber::Type::kInteger:
      // Both lie within 32 bits (signed or unsigned): the difference cannot overflow.
      return {true, static_cast<double>(now.integer - base.integer)};
    case ReportedNumber::Type::kDecimal:
      return {true, now.decimal - base.decimal};
  }
  return {};
}

bool Restarted(const ValueTime& base, const ValueTime& now) {
  if (base.engine_boots && now.engine_boots && *now.engine_boots > *base.engine_boots) {
    return true;
  }
  return base.uptime_ticks && now.uptime_ticks && *now.uptime_ticks < *base.uptime_ticks;
}

double ElapsedMs(const ValueTime& base, const ValueTime& now) {
  if (base.uptime_ticks && now.uptime_ticks) {
    return static_cast<double>(*now.uptime_ticks - *base.uptime_ticks) * kMillisecondsPerTick;
  }
  return static_cast<double>(now.clock_ms - base.clock_ms);
}

}  // namespace

double ReportedNumber::Value() const {
  switch (type) {
    case Type::kInteger:
    case Type::kCounter32:
      return static_cast<double>(integer);
    case Type::kCounter64:
      return static_cast<double>(counter);
    case Type::kDecimal:
      return decimal;
  }
  return 0;
}

std::optional<ReportedNumber> ReadReportedNumber(std::int32_t tag, std::string_view text) {
  ReportedNumber number;
  switch (tag) {
    case TagInteger:
      number.type = ReportedNumber::Type::kInteger;
      if (!ReadWhole(text, number.integer) ||
          number.integer < std::numeric_limits<std::int32_t>::min() ||
          number.integer > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
      }
      return number;
    case TagCounter32:
    case TagGauge32:
    case TagTimeTicks:
      number.type = tag == TagCounter32 ? ReportedNumber::Type::kCounter32
                                        : ReportedNumber::Type::kInteger;
      if (!ReadUnsigned32(text, number.integer)) return std::nullopt;
      return number;
    case TagCounter64:
      number.type = ReportedNumber::Type::kCounter64;
      if (!ReadWhole(text, number.counter)) return std::nullopt;
      return number;
    case TagOctetString:
    case TagOpaque: {
      number.type = ReportedNumber::Type::kDecimal;
      const FloatParseResult parsed = ParseFloatText(text);
      if (parsed.error_position != 0 || !std::isfinite(parsed.value)) return std::nullopt;
      number.decimal = parsed.value;
      return number;
    }
    default:
      return std::nullopt;
  }
}

ModifiedValue ApplyScaleAndKind(const PointSource& source, PointKind kind, double value) {
  ModifiedValue result;
  if (source.has_scale) value *= source.scale;
  if (source.has_offset) value += source.offset;
  result.number = value;
  result.step = ValueStep::kOutOfRange;
  switch (kind) {
    case PointKind::kAnalog:
      if (!std::isfinite(value) || std::fabs(value) >= kSingleOverflowMagnitude) return result;
      result.write = {PointWriteKind::kAnalog, PointWriteReason::kValue, 0,
                      static_cast<float>(value)};
      break;
    case PointKind::kStatus:
    case PointKind::kStatusOneBased: {
      const double whole = std::round(value);
      if (!std::isfinite(whole) || whole < std::numeric_limits<std::int32_t>::min() ||
          whole > std::numeric_limits<std::int32_t>::max()) {
        return result;
      }
      result.write = {PointWriteKind::kStatus, PointWriteReason::kValue,
                      static_cast<std::int32_t>(whole)};
      break;
    }
    case PointKind::kNone:
      break;
  }
  result.step = ValueStep::kWritten;
  return result;
}

ModifiedValue ApplyModifiers(const PointSource& source, PointKind kind, std::int32_t tag,
                             std::string_view text, RateBase* base, const ValueTime& time) {
  ModifiedValue result;
  const std::optional<ReportedNumber> number = ReadReportedNumber(tag, text);
  if (!number) {
    // Not a number: a rate starts again from the next value that is one.
    if (base != nullptr) base->set = false;
    return result;
  }
  if (!source.rate || base == nullptr) return ApplyScaleAndKind(source, kind, number->Value());

  const RateBase previous = *base;
  auto new_base = [&](ValueStep step) {
    *base = RateBase{true, *number, time};
    result.step = step;
    return result;
  };
  if (!previous.set) return new_base(ValueStep::kRateBase);
  if (Restarted(previous.time, time)) return new_base(ValueStep::kRateRestart);
  const Difference difference = Subtract(*number, previous.value);
  if (!difference.comparable) return new_base(ValueStep::kRateTypeChanged);
  const double elapsed_ms = ElapsedMs(previous.time, time);
  if (!(elapsed_ms > 0)) {
    result.step = ValueStep::kRateNoTime;
    return result;
  }
  *base = RateBase{true, *number, time};
  return ApplyScaleAndKind(source, kind,
                           difference.value / (elapsed_ms / kMillisecondsPerSecond));
}

RateBase& RateBook::BaseOf(const std::string& section_name, std::size_t agent,
                           std::size_t line_count, std::size_t line) {
  if (agents_.size() <= agent) agents_.resize(agent + 1);
  AgentBases& bases = agents_[agent];
  if (bases.section_name != section_name || bases.lines.size() != line_count) {
    bases.section_name = section_name;
    bases.lines.assign(line_count, RateBase());
  }
  return bases.lines[line];
}

}  // namespace zelsnmp
