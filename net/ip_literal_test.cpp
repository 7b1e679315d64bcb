#include "net/ip_literal.h"

#include <ostream>
#include <utility>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

struct LiteralCase {
  const char* text;
  bool expected;
};

void PrintTo(const LiteralCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class IPv4LiteralTest : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(IPv4LiteralTest, Classifies) {
  EXPECT_EQ(IsIPv4Literal(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IPv4LiteralTest,
    ::testing::Values(LiteralCase{"192.168.001.010", true}, LiteralCase{" 10 . 0 . 0 . 1 ", true},
                      LiteralCase{"0.0.0.0", true}, LiteralCase{"255.255.255.255", true},
                      LiteralCase{"000000000127.0.0.1", true}, LiteralCase{"1.2.3", false},
                      LiteralCase{"1.2.3.4.5", false}, LiteralCase{"256.1.1.1", false},
                      LiteralCase{"1.2.3.-4", false}, LiteralCase{"1..2.3", false},
                      LiteralCase{"", false}, LiteralCase{"1.2.3.4.", false},
                      LiteralCase{"1.2.3.0x1", false}, LiteralCase{"99999999999999999999.1.1.1", false},
                      LiteralCase{"a.b.c.d", false}, LiteralCase{"::1", false}));

class IPv6LiteralTest : public ::testing::TestWithParam<LiteralCase> {};

TEST_P(IPv6LiteralTest, Classifies) {
  EXPECT_EQ(IsIPv6Literal(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IPv6LiteralTest,
    ::testing::Values(
        LiteralCase{"::", true}, LiteralCase{"::1", true}, LiteralCase{"::0", true},
        LiteralCase{"2001:db8::ff00:42:8329", true}, LiteralCase{"FE80::1%1a", true},
        LiteralCase{"fe80::1%5", true}, LiteralCase{"1:2:3:4:5:6:7:8", true},
        LiteralCase{"1:2", true}, LiteralCase{":1", true}, LiteralCase{"0001::ffff", true},
        LiteralCase{"1:2:3:4:5:6:7:8:9", false}, LiteralCase{"12345::1", false},
        LiteralCase{"::ffff:10.0.0.1", false}, LiteralCase{"1::", false},
        LiteralCase{"a", false}, LiteralCase{"1", false}, LiteralCase{"1:", false},
        LiteralCase{":::", false}, LiteralCase{"1::2::3", false},
        LiteralCase{"fe80::1%eth0", false}, LiteralCase{"fe80::1%", false},
        LiteralCase{"fe80%1::1", false}, LiteralCase{"", false}, LiteralCase{"g::1", false},
        LiteralCase{"127.0.0.1", false}));

TEST(TakeTokenTest, CutsAtFirstDelimiterAndTrimsSpaces) {
  std::string text = " 10 . 20.30 ";
  EXPECT_EQ(TakeToken(text, '.'), "10");
  EXPECT_EQ(text, "20.30");
  EXPECT_EQ(TakeToken(text, '.'), "20");
  EXPECT_EQ(TakeToken(text, '.'), "30");
  EXPECT_EQ(text, "");
  EXPECT_EQ(TakeToken(text, '.'), "");
}

TEST(WithoutIPv6BracketsTest, RemovesOnlyBracketsAroundAnIPv6Literal) {
  const std::pair<const char*, const char*> cases[] = {
      {"[2001:db8::7]", "2001:db8::7"}, {"[::1]", "::1"},   {"2001:db8::7", "2001:db8::7"},
      {"[10.0.0.1]", "[10.0.0.1]"},     {"[host]", "[host]"}, {"[::1", "[::1"},
      {"[[::1]]", "[[::1]]"},           {"[]", "[]"},       {"", ""}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(WithoutIPv6Brackets(text), expected) << text;
}

}  // namespace
}  // namespace zelsnmp
