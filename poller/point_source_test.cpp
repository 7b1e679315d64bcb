#include "poller/point_source.h"

#include <gtest/gtest.h>

#include <string>

#include "poller/point_messages.h"
#include "poller/poll_config.h"
#include "testing/temp_directory.h"
#include "util/cp1251.h"

namespace zelsnmp {
namespace {

struct SourceCase {
  const char* key;
  const char* value;
  SourceProblem problem;
  SourceKind kind;
  const char* word;       // the source word, or the word a mistake names
  const char* modifiers;  // as DescribeModifiers shows them
};

constexpr SourceProblem kOk = SourceProblem::kNone;
constexpr SourceKind kOid = SourceKind::kOid;
constexpr SourceKind kRow = SourceKind::kRow;
constexpr SourceKind kStatus = SourceKind::kStatus;
constexpr SourceKind kRtt = SourceKind::kRtt;

const SourceCase kSourceCases[] = {
    // Bare lines: the whole value, whatever it holds.
    {"#TT1:1:1", "1.3.6.1.2.1.2.2.1.10.3", kOk, kOid, "", ""},
    {"#TT1:1:1", "", kOk, kOid, "", ""},
    {"#TT1:1:1", "not.an.oid", kOk, kOid, "", ""},
    {"#TT1:1:1", " 1.3.6.1 ", kOk, kOid, "", ""},
    // Modifiers, in any order and case.
    {"#TT1:1:1", "1.3.6.1.2.1.31.1.1.1.6.3 rate scale=0.008", kOk, kOid,
     "1.3.6.1.2.1.31.1.1.1.6.3", "rate scale=0.008"},
    {"#TT1:1:1", "1.3.6.1.4.1.1.0\tOFFSET=-40  Scale=-1e-3", kOk, kOid, "1.3.6.1.4.1.1.0",
     "scale=-0.001 offset=-40"},
    {"#TS1:1:1", "1.3.6.1.4.1.1.0 scale=+.5 offset=1.", kOk, kOid, "1.3.6.1.4.1.1.0",
     "scale=0.5 offset=1"},
    {"#TS1:1:1", "@status", kOk, kStatus, "@status", ""},
    {"#TC1:1:1", "@STATUS", kOk, kStatus, "@STATUS", ""},
    {"#TT1:1:1", "@rtt scale=0.001", kOk, kRtt, "@rtt", "scale=0.001"},
    {"#TT1:1:1", "@status offset=10", kOk, kStatus, "@status", "offset=10"},
    // Mistakes, the first one named.
    {"#TT1:1:1", "1.3.6.1.2.1.1.3.0 rates", SourceProblem::kUnknownModifier, kOid, "rates", ""},
    {"#TT1:1:1", "1.3.6.1 rate rate", SourceProblem::kRepeatedModifier, kOid, "rate", ""},
    {"#TT1:1:1", "1.3.6.1 scale=1 scale=2", SourceProblem::kRepeatedModifier, kOid, "scale", ""},
    {"#TT1:1:1", "1.3.6.1 scale=", SourceProblem::kNotANumber, kOid, "scale=", ""},
    {"#TT1:1:1", "1.3.6.1 scale=1,5", SourceProblem::kNotANumber, kOid, "scale=1,5", ""},
    {"#TT1:1:1", "1.3.6.1 offset=.", SourceProblem::kNotANumber, kOid, "offset=.", ""},
    {"#TT1:1:1", "1.3.6.1 offset=1e", SourceProblem::kNotANumber, kOid, "offset=1e", ""},
    {"#TT1:1:1", "1.3.6.1 scale=1e999", SourceProblem::kNotANumber, kOid, "scale=1e999", ""},
    {"#TT1:1:1", "1.3.6.1 scale=nan", SourceProblem::kNotANumber, kOid, "scale=nan", ""},
    {"#TC1:1:1", "1.3.6.1 rate", SourceProblem::kModifierOnStatus, kOid, "rate", ""},
    {"#TC1:1:1", "1.3.6.1 offset=1", SourceProblem::kModifierOnStatus, kOid, "offset", ""},
    {"#TC1:1:1", "@rtt", SourceProblem::kRttOnStatus, kRtt, "@rtt", ""},
    {"#TS1:1:1", "@status rate", SourceProblem::kRateOnDeviceStatus, kStatus, "@status", ""},
    {"#TT1:1:1", "@rtt rate", SourceProblem::kRateOnDeviceStatus, kRtt, "@rtt", ""},
    {"comment", "@status", SourceProblem::kDevicePointNoPoint, kStatus, "@status", ""},
    {"#TT1:1:1", "@uptime", SourceProblem::kUnknownSource, kOid, "@uptime", ""},
    // Rows: read and checked in full.
    {"#TT1:1:1", "1.3.6.1.2.1.2.2.1.10[1.3.6.1.2.1.2.2.1.2=Gi0/1] rate", kOk, kRow,
     "1.3.6.1.2.1.2.2.1.10[1.3.6.1.2.1.2.2.1.2=Gi0/1]", "rate"},
    {"#TS1:1:1", "1.3.6.1.2.1.2.2.1.8[1.3.6.1.2.1.31.1.1.1.18=\"Uplink to \"\"core\"\"]\"]", kOk,
     kRow, "1.3.6.1.2.1.2.2.1.8[1.3.6.1.2.1.31.1.1.1.18=\"Uplink to \"\"core\"\"]\"]", ""},
    {"#TS1:1:1", "1.3.6.1.2.1.2.2.1.8[1.3.6.1.2.1.2.2.1.2=\"eth 0]", SourceProblem::kUnclosedQuote,
     kRow, "", ""},
    {"#TS1:1:1", "1.3.6.01[1.3.6.1=x]", SourceProblem::kBadColumn, kRow, "", ""},
    {"#TS1:1:1", "[1.3.6.1=x]", SourceProblem::kBadColumn, kRow, "", ""},
    {"#TS1:1:1", "1.3.6.1[1.3.6.1.=x]", SourceProblem::kBadKeyColumn, kRow, "", ""},
    {"#TS1:1:1", "1.3.6.1[=x]", SourceProblem::kBadKeyColumn, kRow, "", ""},
    {"#TS1:1:1", "1.3.6.1[1.3.6.2]", SourceProblem::kBadRow, kRow, "", ""},
    {"#TS1:1:1", "1.3.6.1[1.3.6.2=x", SourceProblem::kBadRow, kRow, "", ""},
    {"#TS1:1:1", "1.3.6.1[1.3.6.2=x]y", SourceProblem::kBadRow, kRow, "", ""},
    {"#TS1:1:1", "1.3.6.1[1.3.6.2=a b]", SourceProblem::kBadRow, kRow, "", ""},
    {"#TS1:1:1", "1.3.6.1[1.3.6.2=\"a\"b]", SourceProblem::kBadRow, kRow, "", ""},
};

TEST(PointSourceTest, ReadsSourcesModifiersAndMistakes) {
  for (const SourceCase& c : kSourceCases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    std::string mistaken_word;
    const PointSource source =
        ParsePointSource(c.value, ScanPointAddress(c.key).kind, &mistaken_word);
    EXPECT_EQ(source.problem, c.problem);
    EXPECT_EQ(source.kind, c.kind);
    EXPECT_EQ(source.bare, IsBareSource(c.value));
    if (c.problem == kOk) {
      EXPECT_EQ(source.Word(c.value), c.word);
      EXPECT_EQ(DescribeModifiers(source), c.modifiers);
    } else if (*c.word != '\0') {
      EXPECT_EQ(mistaken_word, c.word);
    }
  }
  // The kind without the scanner agrees with the scanner's.
  for (const char* key : {"#TC12:3:45", "#TS1:1:1", "#TT65535:0:7", "#TT1:1:1x", "#TT1:1", "#TX1:1:1",
                          "#TC-1:2:3", "#TS 1:2:3", "#TT1234567890:1:1", "#TC1::1", "", "#T"}) {
    EXPECT_EQ(PointKindOf(key), ScanPointAddress(key).kind) << key;
  }
  // The key of a quoted row, with its quotes undone; the numbers of the modifiers.
  const PointSource row = ParsePointSource(
      "1.3.6.1.2.1.2.2.1.8[1.3.6.1.2.1.31.1.1.1.18=\"Uplink to \"\"core\"\"]\"]", PointKind::kStatus);
  ASSERT_NE(row.row, nullptr);
  EXPECT_EQ(row.row->column, "1.3.6.1.2.1.2.2.1.8");
  EXPECT_EQ(row.row->key_column, "1.3.6.1.2.1.31.1.1.1.18");
  EXPECT_EQ(row.row->key, "Uplink to \"core\"]");
  const std::string value = "1.3.6.1 scale=-1e-3\t offset=+40";
  const PointSource scaled = ParsePointSource(value, PointKind::kAnalog);
  EXPECT_DOUBLE_EQ(scaled.scale, -1e-3);
  EXPECT_DOUBLE_EQ(scaled.offset, 40);
  EXPECT_EQ(ModifierWords(value, scaled), "scale=-1e-3 offset=+40");
}

// Loading: a mistaken line is named with section, line and key, kept (not polled) in its
// place; the rest of the section is read as before.
TEST(PointSourceTest, LoadNamesEachMistakeWithSectionAndLine) {
  testing_support::TempDirectory directory;
  const std::string path = directory.Write("zelsnmp.cfg",
                                           "[ups-3]\n"
                                           "#TT1:1:1=1.3.6.1.2.1.1.3.0\n"
                                           "#TC1:1:2=1.3.6.1.4.1.1.0 scale=10\n"
                                           "#TS1:1:3=@status\n"
                                           "#TT1:1:4=1.3.6.1.4.1.2.0 rate raet\n");
  const PollConfig config = LoadPollConfig(path);
  ASSERT_EQ(config.agents.size(), 1u);
  ASSERT_EQ(config.agents[0].lines.size(), 4u);
  EXPECT_TRUE(config.agents[0].lines[0].Source().bare);
  EXPECT_TRUE(config.agents[0].lines[2].Source().DevicePoint());
  ASSERT_EQ(config.point_mistakes.size(), 2u);
  EXPECT_EQ(Cp1251ToUtf8(PointMistakeLine(config.point_mistakes[0])),
            "Ошибка в строке точки [ups-3], строка 3, #TC1:1:2: модификатор не для точки #TC: "
            "scale\r\n");
  EXPECT_EQ(Cp1251ToUtf8(PointMistakeLine(config.point_mistakes[1])),
            "Ошибка в строке точки [ups-3], строка 5, #TT1:1:4: неизвестный модификатор: raet\r\n");
}

}  // namespace
}  // namespace zelsnmp
