#include "poller/char_set.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

using namespace std::string_literals;

// The set as the list of its member bytes in ascending order.
std::string Members(const CharSet& set) {
  std::string members;
  for (unsigned byte = 0; byte < 256; ++byte) {
    if (set.test(byte)) members.push_back(static_cast<char>(byte));
  }
  return members;
}

std::string AllBytesExcept(const std::string& excluded) {
  std::string members;
  for (unsigned byte = 1; byte < 256; ++byte) {
    if (excluded.find(static_cast<char>(byte)) == std::string::npos) {
      members.push_back(static_cast<char>(byte));
    }
  }
  return members;
}

std::string Range(unsigned char first, unsigned char last) {
  std::string members;
  for (unsigned byte = first; byte <= last; ++byte) members.push_back(static_cast<char>(byte));
  return members;
}

struct SetCase {
  std::string list;  // the format behind "["
  bool valid;
  std::string members;
  std::string rest;
  friend void PrintTo(const SetCase& c, std::ostream* os) { *os << '"' << c.list << '"'; }
};

class ParseCharSetTest : public ::testing::TestWithParam<SetCase> {};

TEST_P(ParseCharSetTest, ReadsMembers) {
  const SetCase& c = GetParam();
  std::string_view format = c.list;
  CharSet set;
  set.set(int{'Q'});  // shows whether a failed parse left the set alone
  ASSERT_EQ(ParseCharSet(format, set), c.valid);
  if (c.valid) {
    EXPECT_EQ(Members(set), c.members);
    EXPECT_EQ(format, c.rest);
  } else {
    EXPECT_EQ(Members(set), "Q");
    EXPECT_EQ(format, c.list);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Members, ParseCharSetTest,
    ::testing::Values(SetCase{"cab]x", true, "abc", "x"},
                      SetCase{"a-c]", true, "abc", ""},
                      SetCase{"c-a]", true, "", ""},
                      SetCase{"a-a]", true, "a", ""},
                      SetCase{"0-9a-fA-F]%d", true, "0123456789ABCDEFabcdef", "%d"},
                      SetCase{"]a]", true, "]a", ""},
                      SetCase{"]]", true, "]", ""},
                      SetCase{"-a]", true, "-a", ""},
                      SetCase{"a-]", true, "-a", ""},
                      SetCase{"a-c-e]", true, "-abce", ""},
                      SetCase{"]-a]", true, "-]a", ""},
                      SetCase{"\x80-\xff]", true, Range(0x80, 0xFF), ""},
                      SetCase{"\x01-\x20]", true, Range(0x01, 0x20), ""},
                      SetCase{"a]b]", true, "a", "b]"}));

INSTANTIATE_TEST_SUITE_P(
    Complement, ParseCharSetTest,
    ::testing::Values(SetCase{"^a]", true, AllBytesExcept("a"), ""},
                      SetCase{"^]]", true, AllBytesExcept("]"), ""},
                      SetCase{"^-]", true, AllBytesExcept("-"), ""},
                      SetCase{"^^]", true, AllBytesExcept("^"), ""},
                      SetCase{"^\x01-\xff]", true, "", ""},
                      SetCase{"^a-z0-9]", true, AllBytesExcept(Range('a', 'z') + Range('0', '9')),
                              ""},
                      SetCase{"a^]", true, "^a", ""}));

INSTANTIATE_TEST_SUITE_P(
    Unclosed, ParseCharSetTest,
    ::testing::Values(SetCase{"", false, "", ""}, SetCase{"^", false, "", ""},
                      SetCase{"]", false, "", ""}, SetCase{"^]", false, "", ""},
                      SetCase{"abc", false, "", ""}, SetCase{"a-", false, "", ""},
                      SetCase{"a-z", false, "", ""},
                      SetCase{"ab\0]"s, false, "", ""}));

}  // namespace
}  // namespace zelsnmp
