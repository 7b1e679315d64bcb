#include "tools/agentsim/snmprec.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "snmp/ber.h"

namespace zelsnmp::agentsim {
namespace {

struct GoodLineCase {
  const char* name;
  std::string line;
  std::string oid;
  SnmprecValue value;
};

void PrintTo(const GoodLineCase& c, std::ostream* out) { *out << c.name; }

class SnmprecGoodLineTest : public ::testing::TestWithParam<GoodLineCase> {};

TEST_P(SnmprecGoodLineTest, GivesItsValue) {
  const GoodLineCase& c = GetParam();
  SnmprecParseResult result = ParseSnmprec(c.line);
  ASSERT_EQ(result.error, "");
  ASSERT_EQ(result.data.size(), 1u);
  EXPECT_EQ(result.data.begin()->first, c.oid);
  EXPECT_EQ(result.data.begin()->second, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, SnmprecGoodLineTest,
    ::testing::Values(
        GoodLineCase{"Integer", "1.3.6.1.2.1.2.2.1.8.1|2|1", "1.3.6.1.2.1.2.2.1.8.1",
                     {"1", TagInteger}},
        GoodLineCase{"IntegerMin", "1.3.6|2|-2147483648", "1.3.6", {"-2147483648", TagInteger}},
        GoodLineCase{"IntegerMax", "1.3.6|2|2147483647", "1.3.6", {"2147483647", TagInteger}},
        GoodLineCase{"OctetStringKeepsBarsAndBlanks", "1.3.6.1.2.1.1.1.0|4| a|b c ",
                     "1.3.6.1.2.1.1.1.0", {" a|b c ", TagOctetString}},
        GoodLineCase{"EmptyOctetString", "1.3.6|4|", "1.3.6", {"", TagOctetString}},
        GoodLineCase{"HexOctetString", "1.3.6|4x|00ff7A", "1.3.6",
                     {std::string("\x00\xff\x7a", 3), TagOctetString}},
        GoodLineCase{"Null", "1.3.6|5|", "1.3.6", {"", TagNull}},
        GoodLineCase{"ObjectId", "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.8072.3.2.10",
                     "1.3.6.1.2.1.1.2.0", {"1.3.6.1.4.1.8072.3.2.10", TagObjectId}},
        GoodLineCase{"IpAddress", "1.3.6|64|10.0.255.1", "1.3.6", {"10.0.255.1", TagIpAddress}},
        GoodLineCase{"Counter32Max", "1.3.6|65|4294967295", "1.3.6",
                     {"4294967295", TagCounter32}},
        GoodLineCase{"Gauge32", "1.3.6|66|0", "1.3.6", {"0", TagGauge32}},
        GoodLineCase{"TimeTicks", "1.3.6|67|123456", "1.3.6", {"123456", TagTimeTicks}},
        GoodLineCase{"Opaque", "1.3.6|68|raw", "1.3.6", {"raw", TagOpaque}},
        GoodLineCase{"Counter64Max", "1.3.6|70|18446744073709551615", "1.3.6",
                     {"18446744073709551615", TagCounter64}},
        GoodLineCase{"NoSuchObject", "1.3.6|128|", "1.3.6", {"", TagNoSuchObject}},
        GoodLineCase{"HexIpAddress", "1.3.6|64x|0a0000ff", "1.3.6", {"10.0.0.255", TagIpAddress}},
        GoodLineCase{"RawIpAddress", "1.3.6|64|\xC0\xA8|\x01", "1.3.6",
                     {"192.168.124.1", TagIpAddress}},
        GoodLineCase{"HexObjectId", "1.3.6|6x|312e332e362e31", "1.3.6", {"1.3.6.1", TagObjectId}},
        GoodLineCase{"HexInteger", "1.3.6|2x|2d3432", "1.3.6", {"-42", TagInteger}},
        GoodLineCase{"HexCounter32", "1.3.6|65x|3130", "1.3.6", {"10", TagCounter32}},
        GoodLineCase{"HexNull", "1.3.6|5x|", "1.3.6", {"", TagNull}},
        GoodLineCase{"OpaqueFloatAsHex", "1.3.6|68x|9F780441BC0000", "1.3.6",
                     {std::string("\x9F\x78\x04\x41\xBC\x00\x00", 7), TagOpaque}},
        GoodLineCase{"NoSuchInstance", "1.3.6|129|", "1.3.6", {"", TagNoSuchInstance}},
        GoodLineCase{"EndOfMibView", "1.3.6|130|", "1.3.6", {"", TagEndOfMibView}},
        GoodLineCase{"CrLfLineEnd", "1.3.6|4|text\r\n", "1.3.6", {"text", TagOctetString}},
        GoodLineCase{"LargestArc", "1.4294967295|5|", "1.4294967295", {"", TagNull}}),
    [](const auto& test_info) { return std::string(test_info.param.name); });

struct BadFileCase {
  const char* name;
  std::string text;
  std::string error;
};

void PrintTo(const BadFileCase& c, std::ostream* out) { *out << c.name; }

class SnmprecBadFileTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(SnmprecBadFileTest, NamesTheLine) {
  SnmprecParseResult result = ParseSnmprec(GetParam().text);
  EXPECT_EQ(result.error, GetParam().error);
  EXPECT_TRUE(result.data.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, SnmprecBadFileTest,
    ::testing::Values(
        BadFileCase{"OneField", "1.3.6", "line 1: expected OID|TAG|VALUE"},
        BadFileCase{"TwoFields", "# c\n\n1.3.6|4", "line 3: expected OID|TAG|VALUE"},
        BadFileCase{"LeadingDotOid", "1.3.6|5|\n.1.3.6|5|",
                    "line 2: \".1.3.6\" is not a dotted decimal OID"},
        BadFileCase{"OneArcOid", "1|5|", "line 1: \"1\" is not a dotted decimal OID"},
        BadFileCase{"LeadingZeroArc", "1.03|5|", "line 1: \"1.03\" is not a dotted decimal OID"},
        BadFileCase{"ArcTooLarge", "1.4294967296|5|",
                    "line 1: \"1.4294967296\" is not a dotted decimal OID"},
        BadFileCase{"TrailingDot", "1.3.|5|", "line 1: \"1.3.\" is not a dotted decimal OID"},
        BadFileCase{"UnknownTag", "1.3.6|3|x", "line 1: tag 3 is not supported"},
        BadFileCase{"TagNotNumber", "1.3.6|int|5",
                    "line 1: tag \"int\" is not a decimal tag, with or without x"},
        BadFileCase{"HexIntegerNotDigits", "1.3.6|2x|00",
                    "line 1: value \"00\" of tag 2x must be a whole number from -2147483648 to "
                    "2147483647"},
        BadFileCase{"HexOidNotDotted", "1.3.6|6x|2b06",
                    "line 1: value \"2b06\" of tag 6x must be a dotted decimal OID"},
        BadFileCase{"HexIpAddressFiveBytes", "1.3.6|64x|0a00000102",
                    "line 1: value \"0a00000102\" of tag 64x must be four decimal numbers "
                    "0..255 joined by dots, or four bytes"},
        BadFileCase{"HexNullNotEmpty", "1.3.6|5x|00",
                    "line 1: value \"00\" of tag 5x must be empty"},
        BadFileCase{"OddHexOpaque", "1.3.6|68x|9f7",
                    "line 1: value of tag 68x must be pairs of hexadecimal digits"},
        BadFileCase{"OddHex", "1.3.6|4x|abc",
                    "line 1: value of tag 4x must be pairs of hexadecimal digits"},
        BadFileCase{"BadHexDigit", "1.3.6|4x|zz",
                    "line 1: value of tag 4x must be pairs of hexadecimal digits"},
        BadFileCase{"IntegerTooLarge", "1.3.6|2|2147483648",
                    "line 1: value \"2147483648\" of tag 2 must be a whole number from "
                    "-2147483648 to 2147483647"},
        BadFileCase{"IntegerWithBlank", "1.3.6|2| 1",
                    "line 1: value \" 1\" of tag 2 must be a whole number from -2147483648 to "
                    "2147483647"},
        BadFileCase{"NegativeCounter", "1.3.6|65|-1",
                    "line 1: value \"-1\" of tag 65 must be a whole number from 0 to "
                    "4294967295"},
        BadFileCase{"CounterTooLarge", "1.3.6|66|4294967296",
                    "line 1: value \"4294967296\" of tag 66 must be a whole number from 0 to "
                    "4294967295"},
        BadFileCase{"Counter64TooLarge", "1.3.6|70|18446744073709551616",
                    "line 1: value \"18446744073709551616\" of tag 70 must be a whole number "
                    "from 0 to 18446744073709551615"},
        BadFileCase{"ShortIpAddress", "1.3.6|64|10.0.0",
                    "line 1: value \"10.0.0\" of tag 64 must be four decimal numbers 0..255 "
                    "joined by dots, or four bytes"},
        BadFileCase{"IpAddressOctetTooLarge", "1.3.6|64|10.0.0.256",
                    "line 1: value \"10.0.0.256\" of tag 64 must be four decimal numbers "
                    "0..255 joined by dots, or four bytes"},
        BadFileCase{"NullWithValue", "1.3.6|5|x",
                    "line 1: value \"x\" of tag 5 must be empty"},
        BadFileCase{"ExceptionWithValue", "1.3.6|128|0",
                    "line 1: value \"0\" of tag 128 must be empty"},
        BadFileCase{"BadOidValue", "1.3.6|6|iso.3",
                    "line 1: value \"iso.3\" of tag 6 must be a dotted decimal OID"},
        BadFileCase{"DuplicateOid", "1.3.6|2|1\r\n1.3.6|2|2",
                    "line 2: OID 1.3.6 appears twice"}),
    [](const auto& test_info) { return std::string(test_info.param.name); });

TEST(SnmprecTest, SkipsBlankAndCommentLinesAndCountsThem) {
  SnmprecParseResult result = ParseSnmprec(
      "# sample agent\n"
      "\n"
      "   \t\n"
      "1.3.6.1.2.1.1.1.0|4|Switch\n"
      "#1.3.6.1.2.1.1.2.0|6|1.3\n"
      "1.3.6.1.2.1.1.3.0|67|100\n"
      "1.3.6.1.2.1.1.4.0|9|x\n");
  EXPECT_EQ(result.error, "line 7: tag 9 is not supported");

  result = ParseSnmprec("# only\n\n1.3.6.1.2.1.1.1.0|4|Switch\n1.3.6.1.2.1.1.3.0|67|100");
  ASSERT_EQ(result.error, "");
  EXPECT_EQ(result.data.size(), 2u);
  EXPECT_EQ(result.data.at("1.3.6.1.2.1.1.3.0"), (SnmprecValue{"100", TagTimeTicks}));
}

TEST(SnmprecTest, LenientSkipsMalformedLinesAndListsThem) {
  const std::string text =
      "1.3.6.1|4|kept\n"
      "1.3.6.2|9|x\n"
      "garbage\n"
      "1.3.6.1|4|second\n"
      "1.3.6.3|2|7\n";
  EXPECT_EQ(ParseSnmprec(text).error, "line 2: tag 9 is not supported");
  SnmprecParseResult result = ParseSnmprec(text, true);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(result.skipped,
            (std::vector<std::string>{"line 2: tag 9 is not supported",
                                      "line 3: expected OID|TAG|VALUE",
                                      "line 4: OID 1.3.6.1 appears twice"}));
  ASSERT_EQ(result.data.size(), 2u);
  EXPECT_EQ(result.data.at("1.3.6.1").text, "kept");
}

TEST(SnmprecTest, EmptyTextIsNoData) {
  SnmprecParseResult result = ParseSnmprec("");
  EXPECT_EQ(result.error, "");
  EXPECT_TRUE(result.data.empty());
}

TEST(SnmprecTest, FileErrorsNameTheFile) {
  auto path = std::filesystem::temp_directory_path() / "agentsim_snmprec_test.snmprec";
  {
    std::ofstream file(path, std::ios::binary);
    file << "1.3.6|4|ok\n1.3.6.1|4x|0\n";
  }
  SnmprecParseResult result = LoadSnmprecFile(path.string());
  EXPECT_EQ(result.error,
            path.string() + ": line 2: value of tag 4x must be pairs of hexadecimal digits");
  std::filesystem::remove(path);
  result = LoadSnmprecFile(path.string());
  EXPECT_EQ(result.error, "cannot read data file " + path.string());
}

}  // namespace
}  // namespace zelsnmp::agentsim
