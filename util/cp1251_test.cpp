#include "util/cp1251.h"

#include <ostream>
#include <string>

#include <gtest/gtest.h>

namespace zelsnmp {
namespace {

TEST(Cp1251, RussianMessageBecomesItsCodePageBytes) {
  EXPECT_EQ(Utf8ToCp1251("Приём SNMP"), "\xCF\xF0\xE8\xB8\xEC SNMP");
  EXPECT_EQ(Utf8ToCp1251("АЯаяЁё"), "\xC0\xDF\xE0\xFF\xA8\xB8");
}

TEST(Cp1251, EveryByteSurvivesTheRoundTrip) {
  std::string all_bytes;
  for (int byte = 0; byte < 256; ++byte) all_bytes += static_cast<char>(byte);
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all_bytes)), all_bytes);
}

TEST(Cp1251, DistinctBytesGiveDistinctCharacters) {
  for (int a = 0x80; a < 256; ++a) {
    for (int b = a + 1; b < 256; ++b) {
      ASSERT_NE(Cp1251ToUtf8(std::string(1, static_cast<char>(a))),
                Cp1251ToUtf8(std::string(1, static_cast<char>(b))))
          << a << " " << b;
    }
  }
}

struct MappingCase {
  std::string utf8;
  std::string cp1251;
  friend void PrintTo(const MappingCase& c, std::ostream* os) { *os << '"' << c.utf8 << '"'; }
};

class Cp1251Mapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(Cp1251Mapping, ConvertsBothWays) {
  EXPECT_EQ(Utf8ToCp1251(GetParam().utf8), GetParam().cp1251);
  EXPECT_EQ(Cp1251ToUtf8(GetParam().cp1251), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    UpperHalf, Cp1251Mapping,
    ::testing::Values(MappingCase{"Ђ", "\x80"}, MappingCase{"€", "\x88"},
                      MappingCase{"–", "\x96"}, MappingCase{"—", "\x97"},
                      MappingCase{"™", "\x99"}, MappingCase{"\u00A0", "\xA0"},
                      MappingCase{"Ґ", "\xA5"}, MappingCase{"«»", "\xAB\xBB"},
                      MappingCase{"№", "\xB9"}, MappingCase{"ї", "\xBF"},
                      MappingCase{std::string("a\0b", 3), std::string("a\0b", 3)}));

TEST(Cp1251, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("日本"), "??");
  EXPECT_EQ(Utf8ToCp1251("é"), "?");
  EXPECT_EQ(Utf8ToCp1251("😀x"), "?x");
}

TEST(Cp1251, InvalidUtf8BecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");          // cut short
  EXPECT_EQ(Utf8ToCp1251("\xD0x"), "?x");        // bad continuation
  EXPECT_EQ(Utf8ToCp1251("\xC0\x80"), "??");     // overlong zero
  EXPECT_EQ(Utf8ToCp1251("\xFF\xFE"), "??");
}

}  // namespace
}  // namespace zelsnmp
