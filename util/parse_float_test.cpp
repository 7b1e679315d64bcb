#include "util/parse_float.h"

#include <clocale>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

struct AcceptedCase {
  std::string text;
  double expected;
  friend void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class ParseFloatAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(ParseFloatAccepted, GivesTheNearestDouble) {
  const FloatParseResult result = ParseFloatText(GetParam().text);
  EXPECT_EQ(result.error_position, 0u) << GetParam().text;
  EXPECT_EQ(result.value, GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseFloatAccepted,
    ::testing::Values(AcceptedCase{"12.5", 12.5}, AcceptedCase{"   12.5", 12.5},
                      AcceptedCase{"-12.5", -12.5}, AcceptedCase{"+3", 3.0},
                      AcceptedCase{".", 0.0}, AcceptedCase{"-.", 0.0}, AcceptedCase{"E5", 0.0},
                      AcceptedCase{"e+5", 0.0}, AcceptedCase{".5", 0.5}, AcceptedCase{"5.", 5.0},
                      AcceptedCase{"1e3", 1000.0}, AcceptedCase{"1.5E-3", 0.0015},
                      AcceptedCase{"-2147483648", -2147483648.0},
                      AcceptedCase{"4294967295", 4294967295.0},
                      AcceptedCase{"0.1", 0.1}, AcceptedCase{"000123.4500", 123.45}));

INSTANTIATE_TEST_SUITE_P(
    Rounding, ParseFloatAccepted,
    ::testing::Values(
        // Halfway cases and long mantissas must round correctly, not by repeated scaling.
        AcceptedCase{"9007199254740993", 9007199254740992.0},
        AcceptedCase{"9007199254740995", 9007199254740996.0},
        AcceptedCase{"0.30000000000000004", 0.30000000000000004},
        AcceptedCase{"123456789012345678901234567890e-10", 12345678901234567890.1234567890},
        AcceptedCase{"1e308", 1e308}, AcceptedCase{"1e-320", 1e-320},
        AcceptedCase{"1e400", std::numeric_limits<double>::infinity()},
        AcceptedCase{"-1e400", -std::numeric_limits<double>::infinity()},
        AcceptedCase{"1e-400", 0.0},
        AcceptedCase{"1e99999999999999999999999", std::numeric_limits<double>::infinity()},
        AcceptedCase{"0e99999999999999999999999", 0.0}));

struct RejectedCase {
  std::string text;
  std::size_t error_position;
  friend void PrintTo(const RejectedCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class ParseFloatRejected : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(ParseFloatRejected, ReportsWhereTheTextWentWrong) {
  const FloatParseResult result = ParseFloatText(GetParam().text);
  EXPECT_EQ(result.error_position, GetParam().error_position) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ParseFloatRejected,
    ::testing::Values(RejectedCase{"", 1}, RejectedCase{"   ", 4}, RejectedCase{"-", 2},
                      RejectedCase{"12,5", 3}, RejectedCase{"12.5 ", 5},
                      RejectedCase{"\t12.5", 1}, RejectedCase{"1e", 3}, RejectedCase{"1e+", 4},
                      RejectedCase{"1e5.0", 4}, RejectedCase{"1.2.3", 4},
                      RejectedCase{"INF", 1}, RejectedCase{"NAN", 1}, RejectedCase{"0x10", 2},
                      RejectedCase{"--1", 2}, RejectedCase{"1 2", 2}));

TEST(ParseFloatText, TextEndsAtFirstZeroByte) {
  const FloatParseResult result = ParseFloatText(std::string("2.5\0junk", 8));
  EXPECT_EQ(result.error_position, 0u);
  EXPECT_EQ(result.value, 2.5);
}

TEST(ParseFloatText, IgnoresTheProcessLocale) {
  // A locale with a comma for the decimal point must not change what "." means here. The
  // names are the POSIX ones and the Windows one.
  bool comma = false;
  for (const char* name : {"ru_RU.UTF-8", "de_DE.UTF-8", "Russian_Russia.1251"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr &&
        std::localeconv()->decimal_point[0] == ',') {
      comma = true;
      break;
    }
  }
  if (!comma) {
    std::setlocale(LC_NUMERIC, "C");
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  const FloatParseResult result = ParseFloatText("12.5");
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(result.error_position, 0u);
  EXPECT_EQ(result.value, 12.5);
}

TEST(ParseFloatText, NegativeZeroKeepsItsSign) {
  EXPECT_TRUE(std::signbit(ParseFloatText("-0").value));
}

}  // namespace
}  // namespace zelsnmp
