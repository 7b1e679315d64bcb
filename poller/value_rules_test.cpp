#include "poller/value_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "snmp/ber.h"

namespace zelsnmp {
namespace {

// One answer to a line, and what the rules make of it.
struct Sample {
  int tag;
  const char* text;
  std::optional<std::uint32_t> uptime_ticks;
  std::int64_t clock_ms;
  std::optional<std::int32_t> boots;
  ValueStep step;
  double number;  // kWritten, kOutOfRange: the result before the kind's rule
};

struct RuleCase {
  const char* name;
  const char* value;  // the line's value: source and modifiers
  PointKind kind;
  std::vector<Sample> samples;
};

constexpr auto kNone = std::nullopt;
constexpr ValueStep kBase = ValueStep::kRateBase;
constexpr ValueStep kWritten = ValueStep::kWritten;

const std::vector<RuleCase>& Cases() {
  static const std::vector<RuleCase> cases = {
      {"Counter32 wraps modulo 2^32",
       "1.3.6.1 rate",
       PointKind::kAnalog,
       {{TagCounter32, "4294967000", 100, 0, kNone, kBase, 0},
        {TagCounter32, "200", 200, 0, kNone, kWritten, 496}}},
      {"Counter32 above 2^31 in its old negative rendering",
       "1.3.6.1 rate",
       PointKind::kAnalog,
       {{TagCounter32, "-1294967295", 100, 0, kNone, kBase, 0},
        {TagCounter32, "3000000100", 200, 0, kNone, kWritten, 99}}},
      {"Counter64 wraps modulo 2^64, beyond every float's digits",
       "1.3.6.1 rate",
       PointKind::kAnalog,
       {{TagCounter64, "18446744073709551000", 100, 0, kNone, kBase, 0},
        {TagCounter64, "400", 300, 0, kNone, kWritten, 508},
        {TagCounter64, "9007199254740993400", 400, 0, kNone, kWritten, 9007199254740993000.0}}},
      {"Integer32 and Gauge32: their signed difference, no wrap",
       "1.3.6.1 rate",
       PointKind::kStatus,
       {{TagInteger, "10", 100, 0, kNone, kBase, 0},
        {TagInteger, "-5", 600, 0, kNone, kWritten, -3},
        {TagGauge32, "100", 700, 0, kNone, kWritten, 105},
        {TagGauge32, "40", 800, 0, kNone, kWritten, -60}}},
      {"a restart (sysUpTime back) writes nothing and rebases; a silent gap averages",
       "1.3.6.1 rate",
       PointKind::kAnalog,
       {{TagCounter32, "1000", 500, 0, kNone, kBase, 0},
        {TagCounter32, "1100", 600, 0, kNone, kWritten, 100},
        {TagCounter32, "50", 100, 0, kNone, ValueStep::kRateRestart, 0},
        {TagCounter32, "150", 200, 0, kNone, kWritten, 100},
        {TagCounter32, "1150", 1200, 0, kNone, kWritten, 100}}},
      {"v3 engine boots going up is a restart even when sysUpTime went on",
       "1.3.6.1 rate",
       PointKind::kAnalog,
       {{TagCounter32, "10", 100, 0, 3, kBase, 0},
        {TagCounter32, "20", 200, 0, 3, kWritten, 10},
        {TagCounter32, "30", 300, 0, 4, ValueStep::kRateRestart, 0},
        {TagCounter32, "40", 400, 0, 4, kWritten, 10}}},
      {"type mix: another type is a new base",
       "1.3.6.1 rate",
       PointKind::kAnalog,
       {{TagCounter32, "10", 100, 0, kNone, kBase, 0},
        {TagCounter64, "20", 200, 0, kNone, ValueStep::kRateTypeChanged, 0},
        {TagCounter64, "30", 300, 0, kNone, kWritten, 10}}},
      {"decimal text and Opaque floats: the difference of their numbers",
       "1.3.6.1 rate",
       PointKind::kAnalog,
       {{TagOctetString, "12.5", 100, 0, kNone, kBase, 0},
        {TagOpaque, "15.0", 300, 0, kNone, kWritten, 1.25},
        {TagOpaque, "16.5", 500, 0, kNone, kWritten, 0.75},
        {TagOpaque, "text", 600, 0, kNone, ValueStep::kNotANumber, 0},
        {TagOpaque, "17", 700, 0, kNone, kBase, 0}}},
      {"without sysUpTime the task's clock; no time passed keeps the base",
       "1.3.6.1 rate",
       PointKind::kAnalog,
       {{TagCounter32, "0", kNone, 1000, kNone, kBase, 0},
        {TagCounter32, "10", kNone, 3000, kNone, kWritten, 5},
        {TagCounter32, "20", 100, 4000, kNone, kWritten, 10},
        {TagCounter32, "30", 100, 5000, kNone, ValueStep::kRateNoTime, 0},
        {TagCounter32, "50", 200, 6000, kNone, kWritten, 30}}},
      {"rate, then scale, then offset: octets to kbit/s plus one",
       "1.3.6.1 rate scale=0.008 offset=1",
       PointKind::kAnalog,
       {{TagCounter64, "1000000", 100, 0, kNone, kBase, 0},
        {TagCounter64, "2000000", 1100, 0, kNone, kWritten, 801}}},
      {"tenths of a volt to volts, and an offset below zero",
       "1.3.6.1 scale=0.1 offset=-0.5",
       PointKind::kAnalog,
       {{TagInteger, "2305", kNone, 0, kNone, kWritten, 230},
        {TagOctetString, "no number", kNone, 0, kNone, ValueStep::kNotANumber, 0}}},
      {"#TS takes the nearest whole number and nothing beyond 32 bits",
       "1.3.6.1 scale=0.5",
       PointKind::kStatus,
       {{TagInteger, "3", kNone, 0, kNone, kWritten, 1.5},
        {TagInteger, "-3", kNone, 0, kNone, kWritten, -1.5},
        {TagCounter64, "18446744073709551615", kNone, 0, kNone, ValueStep::kOutOfRange,
         9223372036854775807.5}}},
      {"#TT takes nothing beyond the single range",
       "1.3.6.1 scale=1e30",
       PointKind::kAnalog,
       {{TagCounter64, "18446744073709551615", kNone, 0, kNone, ValueStep::kOutOfRange,
         1.8446744073709552e49}}},
  };
  return cases;
}

TEST(ValueRulesTest, WrapsRestartsGapsAndTypeMixes) {
  for (const RuleCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const PointSource source = ParsePointSource(c.value, c.kind);
    ASSERT_FALSE(source.Mistaken());
    RateBase base;
    for (std::size_t i = 0; i < c.samples.size(); ++i) {
      const Sample& sample = c.samples[i];
      SCOPED_TRACE("sample " + std::to_string(i) + ": " + sample.text);
      const ValueTime time{sample.uptime_ticks, sample.clock_ms, sample.boots};
      const ModifiedValue value =
          ApplyModifiers(source, c.kind, sample.tag, sample.text, &base, time);
      ASSERT_EQ(value.step, sample.step);
      if (sample.step != kWritten && sample.step != ValueStep::kOutOfRange) {
        EXPECT_EQ(value.write.kind, PointWriteKind::kNothing);
        continue;
      }
      EXPECT_NEAR(value.number, sample.number, std::fabs(sample.number) * 1e-12);
      if (sample.step == ValueStep::kOutOfRange) {
        EXPECT_EQ(value.write.kind, PointWriteKind::kNothing);
      } else if (c.kind == PointKind::kAnalog) {
        EXPECT_EQ(value.write.kind, PointWriteKind::kAnalog);
        EXPECT_EQ(value.write.analog, static_cast<float>(sample.number));
      } else {
        EXPECT_EQ(value.write.kind, PointWriteKind::kStatus);
        EXPECT_EQ(value.write.status, static_cast<std::int32_t>(std::round(sample.number)));
      }
    }
  }
}

}  // namespace
}  // namespace zelsnmp
