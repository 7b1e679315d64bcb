#include "snmp/ber.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "util/parse_float.h"

namespace zelsnmp {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

// --- Encoders with known bytes -------------------------------------------------------------

struct EncodeCase {
  std::int64_t value;
  std::string expected;
  friend void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.value; }
};

class EncodeSubIdTest : public ::testing::TestWithParam<EncodeCase> {};
TEST_P(EncodeSubIdTest, KnownBytes) {
  EXPECT_EQ(EncodeSubId(static_cast<std::uint32_t>(GetParam().value)), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Ber, EncodeSubIdTest,
    ::testing::Values(EncodeCase{0, Bytes({0x00})}, EncodeCase{127, Bytes({0x7F})},
                      EncodeCase{128, Bytes({0x81, 0x00})}, EncodeCase{16383, Bytes({0xFF, 0x7F})},
                      EncodeCase{16384, Bytes({0x81, 0x80, 0x00})},
                      EncodeCase{2147483647, Bytes({0x87, 0xFF, 0xFF, 0xFF, 0x7F})},
                      EncodeCase{4294967295, Bytes({0x8F, 0xFF, 0xFF, 0xFF, 0x7F})}));

class EncodeBerLengthTest : public ::testing::TestWithParam<EncodeCase> {};
TEST_P(EncodeBerLengthTest, KnownBytes) {
  EXPECT_EQ(EncodeBerLength(static_cast<std::size_t>(GetParam().value)), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Ber, EncodeBerLengthTest,
    ::testing::Values(EncodeCase{0, Bytes({0x00})}, EncodeCase{127, Bytes({0x7F})},
                      EncodeCase{128, Bytes({0x81, 0x80})}, EncodeCase{255, Bytes({0x81, 0xFF})},
                      EncodeCase{256, Bytes({0x82, 0x01, 0x00})},
                      EncodeCase{65536, Bytes({0x83, 0x01, 0x00, 0x00})},
                      EncodeCase{16777216, Bytes({0x84, 0x01, 0x00, 0x00, 0x00})}));

class EncodeBerIntegerTest : public ::testing::TestWithParam<EncodeCase> {};
TEST_P(EncodeBerIntegerTest, KnownBytes) {
  EXPECT_EQ(EncodeBerInteger(static_cast<std::int32_t>(GetParam().value)), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Ber, EncodeBerIntegerTest,
    ::testing::Values(EncodeCase{0, Bytes({0x00})}, EncodeCase{127, Bytes({0x7F})},
                      EncodeCase{128, Bytes({0x00, 0x80})}, EncodeCase{255, Bytes({0x00, 0xFF})},
                      EncodeCase{256, Bytes({0x01, 0x00})},
                      EncodeCase{-1, Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
                      EncodeCase{-128, Bytes({0xFF, 0xFF, 0xFF, 0x80})},
                      EncodeCase{2147483647, Bytes({0x7F, 0xFF, 0xFF, 0xFF})},
                      EncodeCase{-2147483648, Bytes({0x80, 0x00, 0x00, 0x00})}));

// Unsigned content carries a 0x00 in front when the first byte has bit 7 set, so that peers
// read the number as the non-negative value it is.
class EncodeBerUnsignedTest : public ::testing::TestWithParam<EncodeCase> {};
TEST_P(EncodeBerUnsignedTest, KnownBytes) {
  EXPECT_EQ(EncodeBerUnsigned(static_cast<std::uint32_t>(GetParam().value)), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Ber, EncodeBerUnsignedTest,
    ::testing::Values(EncodeCase{0, Bytes({0x00})}, EncodeCase{127, Bytes({0x7F})},
                      EncodeCase{200, Bytes({0x00, 0xC8})}, EncodeCase{256, Bytes({0x01, 0x00})},
                      EncodeCase{2147483648, Bytes({0x00, 0x80, 0x00, 0x00, 0x00})},
                      EncodeCase{4294967295, Bytes({0x00, 0xFF, 0xFF, 0xFF, 0xFF})}));

TEST(EncodeBerUnsigned64, TopBitSetTakesNineBytes) {
  EXPECT_EQ(EncodeBerUnsigned64(UINT64_MAX),
            Bytes({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(EncodeBerUnsigned64(4294967296), Bytes({0x01, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(EncodeBerUnsigned64(0), Bytes({0x00}));
}

TEST(BuildBerObject, WritesLowByteOfTagAndLength) {
  EXPECT_EQ(BuildBerObject("", TagNull), Bytes({0x05, 0x00}));
  EXPECT_EQ(BuildBerObject("ab", 0x1A2), Bytes({0xA2, 0x02, 'a', 'b'}));
  std::string big(200, 'x');
  EXPECT_EQ(BuildBerObject(big, TagOctetString), Bytes({0x04, 0x81, 0xC8}) + big);
}

// --- Decoders of lengths and sub-identifiers ------------------------------------------------

struct DecodeCase {
  std::string bytes;
  std::uint32_t expected;
  std::size_t end_position;
  friend void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.bytes.size() << " bytes"; }
};

class DecodeBerLengthTest : public ::testing::TestWithParam<DecodeCase> {};
TEST_P(DecodeBerLengthTest, ValueAndPosition) {
  std::size_t position = 0;
  EXPECT_EQ(DecodeBerLength(GetParam().bytes, position), GetParam().expected);
  EXPECT_EQ(position, GetParam().end_position);
}
INSTANTIATE_TEST_SUITE_P(
    Ber, DecodeBerLengthTest,
    ::testing::Values(DecodeCase{Bytes({0x7F}), 127, 1}, DecodeCase{Bytes({0x81, 0x80}), 128, 2},
                      DecodeCase{Bytes({0x82, 0x01, 0x00, 0x55}), 256, 3},
                      DecodeCase{Bytes({0x80}), 0, 1},  // indefinite form
                      DecodeCase{Bytes({0x85, 0x01, 0x00, 0x00, 0x00, 0x05}), 5, 6},
                      DecodeCase{Bytes({0x84, 0xFF, 0xFF, 0xFF, 0xFF}), 0xFFFFFFFF, 5},
                      DecodeCase{Bytes({0x83, 0x01}), 1, 2},  // cut short: stops at the end
                      DecodeCase{"", 0, 0}));

class DecodeSubIdTest : public ::testing::TestWithParam<DecodeCase> {};
TEST_P(DecodeSubIdTest, ValueAndPosition) {
  std::size_t position = 0;
  EXPECT_EQ(DecodeSubId(GetParam().bytes, position), GetParam().expected);
  EXPECT_EQ(position, GetParam().end_position);
}
INSTANTIATE_TEST_SUITE_P(
    Ber, DecodeSubIdTest,
    ::testing::Values(DecodeCase{Bytes({0x00, 0x05}), 0, 1},
                      DecodeCase{Bytes({0x81, 0x00}), 128, 2},
                      DecodeCase{Bytes({0x87, 0xFF, 0xFF, 0xFF, 0x7F}), 2147483647, 5},
                      DecodeCase{Bytes({0x8F, 0xFF, 0xFF, 0xFF, 0x7F}), 4294967295, 5},
                      // six bytes: bits above bit 31 are lost
                      DecodeCase{Bytes({0x81, 0x80, 0x80, 0x80, 0x80, 0x05}), 5, 6},
                      DecodeCase{Bytes({0x81, 0x81}), 129, 2},  // cut short
                      DecodeCase{"", 0, 0}));

TEST(DecodeSubId, PositionPastEndStaysWhereItIs) {
  std::size_t position = 7;
  EXPECT_EQ(DecodeSubId(Bytes({0x01}), position), 0u);
  EXPECT_EQ(position, 7u);
  EXPECT_EQ(DecodeBerLength(Bytes({0x01}), position), 0u);
  EXPECT_EQ(position, 7u);
}

// --- OID text ------------------------------------------------------------------------------

TEST(TakeOidArc, TakesArcAndItsDot) {
  std::string text = "13.6";
  EXPECT_EQ(TakeOidArc(text), 13);
  EXPECT_EQ(text, "6");
  EXPECT_EQ(TakeOidArc(text), 6);
  EXPECT_EQ(text, "");
  EXPECT_EQ(TakeOidArc(text), 0);
  text = "x.5";
  EXPECT_EQ(TakeOidArc(text), 0);
  EXPECT_EQ(text, "5");
}

struct OidCase {
  std::string text;
  std::string bytes;
  friend void PrintTo(const OidCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class OidTextToBerTest : public ::testing::TestWithParam<OidCase> {};
TEST_P(OidTextToBerTest, KnownBytes) {
  EXPECT_EQ(OidTextToBer(GetParam().text), GetParam().bytes);
}
INSTANTIATE_TEST_SUITE_P(
    Ber, OidTextToBerTest,
    ::testing::Values(
        OidCase{"1.3.6.1.2.1.1.3.0", Bytes({0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x03, 0x00})},
        OidCase{"1.3.6.1.2.1.2.2.1.10.130",
                Bytes({0x2B, 0x06, 0x01, 0x02, 0x01, 0x02, 0x02, 0x01, 0x0A, 0x81, 0x02})},
        OidCase{"1.3.6.", Bytes({0x2B, 0x06})}, OidCase{".1.3.6", Bytes({0x01, 0x03, 0x06})},
        OidCase{"1.3..6", Bytes({0x2B, 0x00, 0x06})}, OidCase{"5", Bytes({0x81, 0x48})},
        OidCase{"", Bytes({0x00})}, OidCase{"1.3.6.1 ", Bytes({0x2B, 0x06, 0x00})},
        OidCase{"2.999", Bytes({0x88, 0x37})},
        OidCase{"1.3.-1", Bytes({0x2B, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F})},
        // first arc × 40 wraps in 32 bits instead of overflowing
        OidCase{"2147483647.0", EncodeSubId(static_cast<std::uint32_t>(2147483647u * 40u))}));

struct OidTextCase {
  std::string bytes;
  std::string text;
  friend void PrintTo(const OidTextCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class BerToOidTextTest : public ::testing::TestWithParam<OidTextCase> {};
TEST_P(BerToOidTextTest, KnownText) {
  EXPECT_EQ(BerToOidText(GetParam().bytes), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    Ber, BerToOidTextTest,
    ::testing::Values(
        OidTextCase{Bytes({0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x03, 0x00}), "1.3.6.1.2.1.1.3.0"},
        OidTextCase{"", ""}, OidTextCase{Bytes({0x00}), "0.0"},
        OidTextCase{Bytes({0x78}), "3.0"},                // one byte: v div 40 . v mod 40
        OidTextCase{Bytes({0x88, 0x37}), "2.999"},        // longer first sub-identifier: arc 2
        OidTextCase{Bytes({0x80, 0x2B, 0x06}), "1.3.6"},  // padded first sub-identifier below 80
        OidTextCase{Bytes({0x2B, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}), "1.3.-1"},
        OidTextCase{Bytes({0x2B, 0x06, 0x81}), "1.3.6.1"}));  // cut-short last sub-identifier

TEST(OidText, CanonicalTextRoundTrips) {
  for (const char* text : {"1.3.6.1.2.1.2.2.1.10.130", "0.39.4294", "1.0", "2.48.1",
                           "1.3.6.1.4.1.2147483647.16384.128.127"}) {
    EXPECT_EQ(BerToOidText(OidTextToBer(text)), text);
  }
}

// --- ReadBerItem ---------------------------------------------------------------------------

struct ItemCase {
  std::string name;
  std::string bytes;
  std::string text;
  int tag;
  std::size_t end_position;
  friend void PrintTo(const ItemCase& c, std::ostream* os) { *os << c.name; }
};

class ReadBerItemTest : public ::testing::TestWithParam<ItemCase> {};
TEST_P(ReadBerItemTest, TextTagAndPosition) {
  std::size_t position = 0;
  int tag = -1;
  EXPECT_EQ(ReadBerItem(GetParam().bytes, position, tag), GetParam().text);
  EXPECT_EQ(tag, GetParam().tag);
  EXPECT_EQ(position, GetParam().end_position);
}

const ItemCase kItemCases[] = {
    {"IntegerMinusOne", Bytes({0x02, 0x01, 0xFF}), "-1", TagInteger, 3},
    {"IntegerFive", Bytes({0x02, 0x01, 0x05}), "5", TagInteger, 3},
    {"Integer128", Bytes({0x02, 0x02, 0x00, 0x80}), "128", TagInteger, 4},
    {"IntegerMinus128", Bytes({0x02, 0x01, 0x80}), "-128", TagInteger, 3},
    {"IntegerFourBytes", Bytes({0x02, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}), "-1", TagInteger, 6},
    {"IntegerFiveBytes", Bytes({0x02, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}), "-1", TagInteger, 7},
    {"IntegerEmpty", Bytes({0x02, 0x00}), "0", TagInteger, 2},
    {"BooleanTrue", Bytes({0x01, 0x01, 0xFF}), "-1", TagBoolean, 3},
    {"Enumerated", Bytes({0x0A, 0x01, 0x02}), "2", TagEnumerated, 3},
    {"Counter32Above2p31", Bytes({0x41, 0x05, 0x00, 0x80, 0x00, 0x00, 0x00}), "2147483648",
     TagCounter32, 7},
    {"Counter32Max", Bytes({0x41, 0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}), "4294967295", TagCounter32,
     7},
    {"Gauge32FourBytesTopBit", Bytes({0x42, 0x04, 0xEE, 0x6B, 0x28, 0x00}), "4000000000",
     TagGauge32, 6},
    {"TimeTicksShortTopBit", Bytes({0x43, 0x01, 0xC8}), "200", TagTimeTicks, 3},
    {"Counter32Empty", Bytes({0x41, 0x00}), "0", TagCounter32, 2},
    {"Counter32LastFourCount", Bytes({0x41, 0x06, 0x01, 0x00, 0x00, 0x00, 0x00, 0x07}), "7",
     TagCounter32, 8},
    {"Counter64Max", Bytes({0x46, 0x09, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
     "18446744073709551615", TagCounter64, 11},
    {"Counter64Above2p32", Bytes({0x46, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00}), "4294967296",
     TagCounter64, 7},
    {"Counter64LastEightCount",
     Bytes({0x46, 0x0A, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09}), "9",
     TagCounter64, 12},
    {"Counter64Empty", Bytes({0x46, 0x00}), "0", TagCounter64, 2},
    {"SequenceStepsIn", Bytes({0x30, 0x03, 0x02, 0x01, 0x07}), Bytes({0x02, 0x01, 0x07}),
     TagSequence, 2},
    {"Null", Bytes({0x05, 0x00}), "", TagNull, 2},
    {"NullContentSkipped", Bytes({0x05, 0x02, 0xAA, 0xBB}), "", TagNull, 4},
    {"NoSuchObject", Bytes({0x80, 0x00}), "", TagNoSuchObject, 2},
    {"EndOfMibView", Bytes({0x82, 0x00}), "", TagEndOfMibView, 2},
    {"OneByteLeft", Bytes({0x02}), "", TagNull, 0},
    {"Empty", "", "", TagNull, 0},
    {"ContentCutShort", Bytes({0x04, 0x05, 0x41, 0x42}), "", TagOctetString, 2},
    {"LengthBytesCutShort", Bytes({0x04, 0x83, 0x01}), "", TagOctetString, 3},
    {"LengthAbove2p31", Bytes({0x04, 0x84, 0x80, 0x00, 0x00, 0x00, 0x41}), "", TagOctetString, 6},
    {"LengthMax", Bytes({0x04, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0x41}), "", TagOctetString, 6},
    {"IpAddress", Bytes({0x40, 0x04, 0x0A, 0x00, 0x00, 0x01}), "10.0.0.1", TagIpAddress, 6},
    {"IpAddressTwoBytes", Bytes({0x40, 0x02, 0xC0, 0xA8}), "192.168", TagIpAddress, 4},
    {"IpAddressEmpty", Bytes({0x40, 0x00}), "", TagIpAddress, 2},
    {"OctetStringWithZero", Bytes({0x04, 0x03, 'a', 0x00, 'b'}), Bytes({'a', 0x00, 'b'}),
     TagOctetString, 5},
    {"OpaqueRaw", Bytes({0x44, 0x02, 0x9F, 0x78}), Bytes({0x9F, 0x78}), TagOpaque, 4},
    {"OpaqueFloat", Bytes({0x44, 0x07, 0x9F, 0x78, 0x04, 0x41, 0xBC, 0x00, 0x00}), "23.5",
     TagOpaque, 9},
    {"OpaqueFloatShortLength", Bytes({0x44, 0x06, 0x9F, 0x78, 0x03, 0x41, 0xBC, 0x00}),
     Bytes({0x9F, 0x78, 0x03, 0x41, 0xBC, 0x00}), TagOpaque, 8},
    {"OpaqueFloatTrailingByte",
     Bytes({0x44, 0x08, 0x9F, 0x78, 0x04, 0x41, 0xBC, 0x00, 0x00, 0x00}),
     Bytes({0x9F, 0x78, 0x04, 0x41, 0xBC, 0x00, 0x00, 0x00}), TagOpaque, 10},
    {"OpaqueDouble",
     Bytes({0x44, 0x0B, 0x9F, 0x79, 0x08, 0xC0, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18}),
     "-3.141592653589793", TagOpaque, 13},
    {"OpaqueCounter64Kept", Bytes({0x44, 0x04, 0x9F, 0x76, 0x01, 0x05}),
     Bytes({0x9F, 0x76, 0x01, 0x05}), TagOpaque, 6},
    {"ObjectId", Bytes({0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x03, 0x00}),
     "1.3.6.1.2.1.1.3.0", TagObjectId, 10},
    {"IndefiniteLengthIsZero", Bytes({0x04, 0x80, 0x41}), "", TagOctetString, 2},
};

INSTANTIATE_TEST_SUITE_P(Ber, ReadBerItemTest, ::testing::ValuesIn(kItemCases),
                         [](const auto& test_info) { return test_info.param.name; });

// --- Opaque floating-point values -----------------------------------------------------------

std::string OpaqueFloat(float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  std::string content = Bytes({0x9F, 0x78, 0x04});
  for (int shift = 24; shift >= 0; shift -= 8) content += static_cast<char>(bits >> shift);
  return content;
}

std::string OpaqueDouble(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  std::string content = Bytes({0x9F, 0x79, 0x08});
  for (int shift = 56; shift >= 0; shift -= 8) content += static_cast<char>(bits >> shift);
  return content;
}

struct FloatTextCase {
  double value;
  const char* float_text;   // the value as a float
  const char* double_text;  // the value as a double
};

TEST(OpaqueText, ShortestTextOfItsOwnWidth) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const FloatTextCase cases[] = {
      {0.1, "0.1", "0.1"},
      {-2.5, "-2.5", "-2.5"},
      {0.0, "0", "0"},
      {-0.0, "-0", "-0"},
      {123456.0, "123456", "123456"},
      {1.0 / 3.0, "0.33333334", "0.3333333333333333"},
      {1e-5, "0.00001", "0.00001"},
      // Fixed notation prints every digit before the point.
      {999999999999999.0, "999999986991104", "999999999999999"},
      {1e15, "999999986991104", "1e+15"},
      {2e15, "2e+15", "2e+15"},
      {-2.5e20, "-2.5e+20", "-2.5e+20"},
      {3.4028234663852886e38, "3.4028235e+38", "3.4028234663852886e+38"},
      {kInf, "inf", "inf"},
      {-kInf, "-inf", "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), "nan", "nan"},
  };
  for (const FloatTextCase& c : cases) {
    SCOPED_TRACE(c.double_text);
    EXPECT_EQ(PrimitiveBerText(OpaqueFloat(static_cast<float>(c.value)), TagOpaque), c.float_text);
    EXPECT_EQ(PrimitiveBerText(OpaqueDouble(c.value), TagOpaque), c.double_text);
  }
}

// Every text reads back to the very value through the poll pass's float conversion, whatever
// the bits; NaN and the infinities are refused by it.
TEST(OpaqueText, PollPassReadsBackTheSameValue) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = random();
    const auto single = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
    const auto wide = std::bit_cast<double>(bits);
    const std::string single_text = PrimitiveBerText(OpaqueFloat(single), TagOpaque);
    const FloatParseResult single_read = ParseFloatText(single_text);
    const std::string wide_text = PrimitiveBerText(OpaqueDouble(wide), TagOpaque);
    const FloatParseResult wide_read = ParseFloatText(wide_text);
    ASSERT_EQ(single_read.error_position == 0, std::isfinite(single)) << single_text;
    ASSERT_EQ(wide_read.error_position == 0, std::isfinite(wide)) << wide_text;
    if (std::isfinite(single)) {
      ASSERT_EQ(static_cast<float>(single_read.value), single) << single_text;
    }
    if (std::isfinite(wide)) {
      ASSERT_EQ(wide_read.value, wide) << wide_text;
      ASSERT_EQ(wide_text.find('e') != std::string::npos, std::fabs(wide) >= 1e15) << wide_text;
    }
  }
}

TEST(ReadBerItem, WalksIntoSequenceThenReadsInnerItem) {
  std::string bytes = Bytes({0x30, 0x03, 0x02, 0x01, 0x07});
  std::size_t position = 0;
  int tag = 0;
  ReadBerItem(bytes, position, tag);
  EXPECT_EQ(ReadBerItem(bytes, position, tag), "7");
  EXPECT_EQ(tag, TagInteger);
  EXPECT_EQ(position, 5u);
}

TEST(ReadBerItem, PositionPastEndStaysWhereItIs) {
  std::size_t position = 9;
  int tag = 0;
  EXPECT_EQ(ReadBerItem(Bytes({0x02, 0x01, 0x05}), position, tag), "");
  EXPECT_EQ(tag, TagNull);
  EXPECT_EQ(position, 9u);
}

// Random bytes at every start position: the position never moves backwards nor beyond the end,
// and every read of two or more remaining bytes consumes at least two (so walks end).
TEST(ReadBerItem, RandomBytesGiveDefinedResults) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 24, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    for (std::size_t start = 0; start <= bytes.size(); ++start) {
      std::size_t position = start;
      int tag = 0;
      std::string text = ReadBerItem(bytes, position, tag);
      ASSERT_GE(position, start);
      ASSERT_LE(position, bytes.size());
      ASSERT_GE(tag, 0);
      ASSERT_LE(tag, 255);
      if (bytes.size() - start >= 2) {
        ASSERT_GE(position, start + 2);
      }
      std::size_t sub_position = start;
      DecodeSubId(bytes, sub_position);
      ASSERT_LE(sub_position, bytes.size());
      BerToOidText(std::string_view(bytes).substr(start));
    }
  }
}

}  // namespace
}  // namespace zelsnmp
