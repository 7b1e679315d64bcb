#include "util/parse_int.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

struct IntCase {
  std::string text;
  std::int32_t expected;  // with default 77
  friend void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class ParseIntDefaultTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ParseIntDefaultTest, GivesValueOrDefault) {
  EXPECT_EQ(ParseIntDefault(GetParam().text, 77), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, ParseIntDefaultTest,
    ::testing::Values(IntCase{"0", 0}, IntCase{"42", 42}, IntCase{"   42", 42},
                      IntCase{"+42", 42}, IntCase{"-42", -42}, IntCase{"012", 12},
                      IntCase{"2147483647", 2147483647}, IntCase{"2147483648", 77},
                      IntCase{"-2147483648", -2147483647 - 1}, IntCase{"-2147483649", 77},
                      IntCase{"99999999999999999999999", 77},
                      IntCase{"0000000000000000000042", 42}));

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, ParseIntDefaultTest,
    ::testing::Values(IntCase{"$10", 16}, IntCase{"x1f", 31}, IntCase{"X1F", 31},
                      IntCase{"0x7fffffff", 2147483647}, IntCase{"0X80000000", -2147483647 - 1},
                      IntCase{"$FFFFFFFF", -1}, IntCase{"$100000000", 77},
                      IntCase{"-$10", -16}, IntCase{"-$FFFFFFFF", 1},
                      IntCase{"-0x80000000", -2147483647 - 1}, IntCase{"$000000000FF", 255},
                      IntCase{"  +$a", 10}));

INSTANTIATE_TEST_SUITE_P(
    Rejected, ParseIntDefaultTest,
    ::testing::Values(IntCase{"", 77}, IntCase{" ", 77}, IntCase{"-", 77}, IntCase{"+-1", 77},
                      IntCase{"--1", 77}, IntCase{"1 ", 77}, IntCase{"\t1", 77},
                      IntCase{"1.0", 77}, IntCase{"$", 77}, IntCase{"0x", 77},
                      IntCase{"$g", 77}, IntCase{"0$1", 77}, IntCase{"- 1", 77},
                      IntCase{"12a", 77}, IntCase{"1e3", 77}));

TEST(ParseIntDefault, TextEndsAtFirstZeroByte) {
  EXPECT_EQ(ParseIntDefault(std::string("12\0" "34", 5), 77), 12);
  EXPECT_EQ(ParseIntDefault(std::string("\0" "34", 3), 77), 77);
}

}  // namespace
}  // namespace zelsnmp
