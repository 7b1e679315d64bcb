#include "poller/profile_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using namespace std::string_view_literals;

// The reader's whole view of a file: every listed section with its entries, values in <> so
// that blanks show. Also checks that KeyNames agrees with Entries.
std::string Dump(const ProfileReader& reader) {
  std::string dump;
  for (const std::string& section : reader.SectionNames()) {
    dump += "[" + section + "]\n";
    std::vector<std::string> keys_of_entries;
    for (const ProfileReader::Entry& entry : reader.Entries(section)) {
      dump += entry.key + "=<" + entry.value + ">\n";
      keys_of_entries.push_back(entry.key);
    }
    EXPECT_EQ(reader.KeyNames(section), keys_of_entries) << "section " << section;
  }
  return dump;
}

struct FileCase {
  const char* name;
  std::string_view contents;
  std::string_view expected;
};

class ProfileReaderFileTest : public testing::TestWithParam<FileCase> {};

TEST_P(ProfileReaderFileTest, ReadsFileAsDocumented) {
  testing_support::TempDirectory dir;
  const std::string path = dir.Write("config.ini", GetParam().contents);
  EXPECT_EQ(Dump(ProfileReader::FromFile(path)), GetParam().expected);
}

std::string CaseName(const testing::TestParamInfo<FileCase>& info) { return info.param.name; }

const FileCase kLineEndCases[] = {
    {"CrLf", "[a]\r\nk=1\r\nj=2\r\n", "[a]\nk=<1>\nj=<2>\n"},
    {"LfOnly", "[a]\nk=1\nj=2\n", "[a]\nk=<1>\nj=<2>\n"},
    {"CrOnly", "[a]\rk=1\rj=2\r", "[a]\nk=<1>\nj=<2>\n"},
    {"MixedAndLastLineWithoutEnd", "[a]\r\nk=1\nj=2\rl=3", "[a]\nk=<1>\nj=<2>\nl=<3>\n"},
    {"LastHeaderWithoutEnd", "[a]\nk=1\n[b]", "[a]\nk=<1>\n[b]\n"},
    {"BlankLinesAreNothing", "\r\n\r\n[a]\r\r\n\n  \t \nk=1\n\n", "[a]\nk=<1>\n"},
};
INSTANTIATE_TEST_SUITE_P(LineEnds, ProfileReaderFileTest, testing::ValuesIn(kLineEndCases),
                         CaseName);

const FileCase kBlankCases[] = {
    {"AroundHeaderAndName", " \t[ a b ]\t \nk=1", "[a b]\nk=<1>\n"},
    {"AroundKeyAndValue", "[a]\n\t k \v= \f v  w \t\n", "[a]\nk=<v  w>\n"},
    {"InnerBlanksStay", "[a]\nmy key = my  value\n", "[a]\nmy key=<my  value>\n"},
    {"NoBreakSpaceIsNoBlank", "[a]\n\xA0" "k\xA0=\xA0v\xA0\n", "[a]\n\xA0k\xA0=<\xA0v\xA0>\n"},
    {"EndOfFileMarkIsBlank", "[a]\x1A\nk=1.3.6\x1A\n\x1A[b]\nj=2\x1A", "[a]\nk=<1.3.6>\n[b]\nj=<2>\n"},
    {"ControlByteIsNoBlank", "[\x01" "a]\n\x01=\x01\n", "[\x01" "a]\n\x01=<\x01>\n"},
};
INSTANTIATE_TEST_SUITE_P(Blanks, ProfileReaderFileTest, testing::ValuesIn(kBlankCases), CaseName);

const FileCase kHeaderCases[] = {
    {"ClosingBracketInName", "[s]]\nk=1", "[s]]\nk=<1>\n"},
    {"JunkAfterName", "[s]junk\nk=1", "[s]\nk=<1>\n"},
    {"LastBracketCloses", "[a]b]c\nk=1", "[a]b]\nk=<1>\n"},
    {"AgentNameCharacters", "[10.0.0.1:public]\n[host : comm]\n[a=b;c#d]\n",
     "[10.0.0.1:public]\n[host : comm]\n[a=b;c#d]\n"},
    {"NoClosingBracketIsOrdinaryLine", "[a]\n[b\n[c=1\n", "[a]\n[c=<1>\n"},
    {"BracketNotFirstIsOrdinaryLine", "[a]\nx[b]=1\n", "[a]\nx[b]=<1>\n"},
    {"EmptyNamesUnlistedAndTheirLinesUnreachable", "[a]\nk=1\n[]\nx=2\n[ ]\ny=3\n[b]\nz=4\n",
     "[a]\nk=<1>\n[b]\nz=<4>\n"},
    {"LinesBeforeFirstHeaderIgnored", "k=0\nword\n[a]\nk=1\n", "[a]\nk=<1>\n"},
    {"EmptySectionListed", "[a]\n[b]\nk=1\n", "[a]\n[b]\nk=<1>\n"},
};
INSTANTIATE_TEST_SUITE_P(SectionHeaders, ProfileReaderFileTest, testing::ValuesIn(kHeaderCases),
                         CaseName);

const FileCase kEntryCases[] = {
    {"NoCommentAtLineEnd", "[a]\nb=2 ; c\n", "[a]\nb=<2 ; c>\n"},
    {"KeyEndsAtFirstEquals", "[a]\nk==v=w\n", "[a]\nk=<=v=w>\n"},
    {"EmptyValueListed", "[a]\nk=\nj=  \n", "[a]\nk=<>\nj=<>\n"},
    {"EmptyKeyUnlisted", "[a]\n=v\n  = w\nk=1\n", "[a]\nk=<1>\n"},
    {"LinesWithoutEqualsUnlisted", "[a]\nword\n; comment\n# note\nk=1\n", "[a]\nk=<1>\n"},
    {"SemicolonKeyIsComment", "[a]\n;k=1\n  ;j=2\nl=3\n", "[a]\nl=<3>\n"},
    {"SemicolonInsideKeyIsNoComment", "[a]\nk;=1\n", "[a]\nk;=<1>\n"},
    {"HashKeyIsOrdinary", "[a]\n#TC5:12:107=1.3.6.1.2.1.1.3.0\n",
     "[a]\n#TC5:12:107=<1.3.6.1.2.1.1.3.0>\n"},
    {"ValueKeepsSpecialBytes", "[a]\nk=a#b;c'd\"e=f\n", "[a]\nk=<a#b;c'd\"e=f>\n"},
};
INSTANTIATE_TEST_SUITE_P(Entries, ProfileReaderFileTest, testing::ValuesIn(kEntryCases),
                         CaseName);

const FileCase kQuoteCases[] = {
    {"DoubleQuotesKeepInnerBlanks", "[a]\nk=\"  x  \"\n", "[a]\nk=<  x  >\n"},
    {"SingleQuotes", "[a]\nk='x'\n", "[a]\nk=<x>\n"},
    {"TrimmedBeforeQuotesLookedAt", "[a]\nk=  'x'  \n", "[a]\nk=<x>\n"},
    {"OnlyOnePairRemoved", "[a]\nk=\"\"x\"\"\n", "[a]\nk=<\"x\">\n"},
    {"InnerQuoteStays", "[a]\nk=\"a\"b\"\n", "[a]\nk=<a\"b>\n"},
    {"EmptyQuoted", "[a]\nk=\"\"\n", "[a]\nk=<>\n"},
    {"LoneQuoteStays", "[a]\nk=\"\n", "[a]\nk=<\">\n"},
    {"MixedQuotesStay", "[a]\nk=\"x'\n", "[a]\nk=<\"x'>\n"},
    {"UnmatchedStays", "[a]\nk=\"x\" ; c\n", "[a]\nk=<\"x\" ; c>\n"},
    {"KeysKeepQuotes", "[a]\n\"k\"=v\n", "[a]\n\"k\"=<v>\n"},
    {"SectionNamesKeepQuotes", "[\"a\"]\n", "[\"a\"]\n"},
};
INSTANTIATE_TEST_SUITE_P(Quotes, ProfileReaderFileTest, testing::ValuesIn(kQuoteCases), CaseName);

const FileCase kDuplicateCases[] = {
    {"SectionAgainHoldsAllLinesAtFirstPlace", "[a]\nk=1\n[b]\nj=2\n[A]\nl=3\n[a]\nm=4\n",
     "[a]\nk=<1>\nl=<3>\nm=<4>\n[b]\nj=<2>\n"},
    {"DuplicateKeysKeepOwnValues", "[a]\nk=1\nK=2\nk=3\n", "[a]\nk=<1>\nK=<2>\nk=<3>\n"},
    {"CyrillicNotFolded", "[\xC0\xC3]\nk=1\n[\xE0\xE3]\nk=2\n",
     "[\xC0\xC3]\nk=<1>\n[\xE0\xE3]\nk=<2>\n"},
};
INSTANTIATE_TEST_SUITE_P(Duplicates, ProfileReaderFileTest, testing::ValuesIn(kDuplicateCases),
                         CaseName);

const FileCase kZeroByteCases[] = {
    {"EndsSectionName", "[a\0b]\nk=1\n"sv, "[a]\nk=<1>\n"},
    {"BracketSearchSeesWholeLine", "[s\0]x]\nk=1\n"sv, "[s]\nk=<1>\n"},
    {"EndsKey", "[a]\nk\0z=v\n"sv, "[a]\nk=<v>\n"},
    {"EqualsSearchSeesWholeLine", "[a]\nk\0=x=y\n"sv, "[a]\nk=<x=y>\n"},
    {"EndsValue", "[a]\nk=v\0w\nj=\0v\n"sv, "[a]\nk=<v>\nj=<>\n"},
    {"CutBeforeQuotesRemoved", "[a]\nq=\"x\"\0y\nr=\"x\0y\"\n"sv, "[a]\nq=<x>\nr=<\"x>\n"},
    {"NameCutThenTrimmed", "[127.0.0.3:public\t\0y]\nk=1\n[127.0.0.3:public]\nj=2\n"sv,
     "[127.0.0.3:public]\nk=<1>\nj=<2>\n"},
    {"KeyEmptyBeforeZeroUnlisted", "[a]\n\0k=1\nj=2\n"sv, "[a]\nj=<2>\n"},
    {"NameEmptyBeforeZeroUnlisted", "[\0a]\nk=1\n[b]\nj=2\n"sv, "[b]\nj=<2>\n"},
};
INSTANTIATE_TEST_SUITE_P(ZeroBytes, ProfileReaderFileTest, testing::ValuesIn(kZeroByteCases),
                         CaseName);

// "Агент" and "значение" in Windows-1251.
constexpr std::string_view kAgentCp1251 = "\xC0\xE3\xE5\xED\xF2";
constexpr std::string_view kValueCp1251 = "\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5";

std::string Utf16(std::u16string_view text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

const std::string kConvertedDump = "[" + std::string(kAgentCp1251) + "]\nk=<" +
                                   std::string(kValueCp1251) + " \x88 ?>\n";

TEST(ProfileReaderEncodingTest, Utf8MarkConvertedToCp1251) {
  testing_support::TempDirectory dir;
  const std::string path =
      dir.Write("utf8.ini", "\xEF\xBB\xBF[Агент]\r\nk=значение € 中\r\n");
  EXPECT_EQ(Dump(ProfileReader::FromFile(path)), kConvertedDump);
}

TEST(ProfileReaderEncodingTest, Utf16MarksConvertedToCp1251) {
  testing_support::TempDirectory dir;
  for (const bool big_endian : {false, true}) {
    const std::string path =
        dir.Write("utf16.ini", Utf16(u"[Агент]\r\nk=значение € 中\r\n", big_endian));
    EXPECT_EQ(Dump(ProfileReader::FromFile(path)), kConvertedDump) << big_endian;
  }
}

TEST(ProfileReaderEncodingTest, Utf16SurrogatePairIsOneQuestionMark) {
  testing_support::TempDirectory dir;
  const std::string pair_and_lone = Utf16(u"[a]\nk=x\U0001F600y\xD800z", false);
  const std::string path = dir.Write("utf16.ini", pair_and_lone + "\x41");  // odd last byte
  EXPECT_EQ(Dump(ProfileReader::FromFile(path)), "[a]\nk=<x?y?z>\n");
}

TEST(ProfileReaderEncodingTest, WithoutMarkBytesTakenAsTheyAre) {
  testing_support::TempDirectory dir;
  const std::string path = dir.Write("plain.ini", "[Агент]\nk=\xFF\xFE\n");
  EXPECT_EQ(Dump(ProfileReader::FromFile(path)), "[Агент]\nk=<\xFF\xFE>\n");
}

TEST(ProfileReaderEncodingTest, MarkAloneHasNoSections) {
  testing_support::TempDirectory dir;
  EXPECT_EQ(Dump(ProfileReader::FromFile(dir.Write("mark.ini", "\xEF\xBB\xBF"))), "");
}

TEST(ProfileReaderTest, NoSectionsWithoutReadableContents) {
  testing_support::TempDirectory dir;
  EXPECT_TRUE(ProfileReader::FromFile("").SectionNames().empty());
  EXPECT_TRUE(ProfileReader::FromFile(dir.PathOf("missing.ini")).SectionNames().empty());
  EXPECT_TRUE(ProfileReader::FromFile(dir.Write("empty.ini", "")).SectionNames().empty());
  EXPECT_TRUE(ProfileReader::FromFile(dir.PathOf("")).SectionNames().empty());  // a directory
  EXPECT_TRUE(ProfileReader::FromFile("/dev/zero").SectionNames().empty());  // never ends
  // Longer than the reader takes: a sparse file, so that no disk space is spent.
  const std::string too_long = dir.Write("long.ini", "[a]\nk=v\n");
  std::filesystem::resize_file(too_long, ProfileReader::kMaxFileBytes + 1);
  EXPECT_TRUE(ProfileReader::FromFile(too_long).SectionNames().empty());
}

TEST(ProfileReaderTest, LookupsFoldAsciiCaseAndTrimAskedNames) {
  const ProfileReader reader =
      ProfileReader::FromBytes("[Agent]\nOid=1\nOID=2\n[\xC0\xC3]\nk=3\n");
  EXPECT_EQ(reader.Value("agent", "oid"), "1");  // the first of duplicate keys
  EXPECT_EQ(reader.Value(" AGENT\t", " oId "), "1");
  EXPECT_EQ(reader.KeyNames("aGeNt"), (std::vector<std::string>{"Oid", "OID"}));
  EXPECT_EQ(reader.Value("\xC0\xC3", "K"), "3");
  EXPECT_EQ(reader.Value("\xE0\xE3", "k"), "");  // Cyrillic letters are not folded
  EXPECT_EQ(reader.Value("agent", "missing"), "");
  EXPECT_EQ(reader.Value("missing", "oid"), "");
  EXPECT_TRUE(reader.KeyNames("missing").empty());
  EXPECT_EQ(reader.Value("agent\0junk"sv, "oid\0junk"sv), "1");  // asked names end at a zero
}

TEST(ProfileReaderTest, SectionNameWithBlankBeforeZeroKeepsItsOwnLines) {
  const ProfileReader reader =
      ProfileReader::FromBytes("[127.0.0.3:public\t\0y]\nk=1\n[127.0.0.4]\nj=2\n"sv);
  EXPECT_EQ(reader.SectionNames(), (std::vector<std::string>{"127.0.0.3:public", "127.0.0.4"}));
  EXPECT_EQ(reader.KeyNames("127.0.0.3:public\t\0y"sv), std::vector<std::string>{"k"});
  EXPECT_EQ(reader.Value("127.0.0.3:public", "k"), "1");
}

TEST(ProfileReaderTest, ValueCutAt2047BytesAfterQuotesRemoved) {
  const std::string long_value(3000, 'v');
  const std::string quoted = std::string(1, '"').append(2047, 'q').append(1, '"');
  const std::string long_key(5000, 'k');
  testing_support::TempDirectory dir;
  const std::string path = dir.Write(
      "long.ini", "[a]\nplain=" + long_value + "\nquoted=" + quoted + "\n" + long_key + "=1\n");
  const ProfileReader reader = ProfileReader::FromFile(path);
  EXPECT_EQ(reader.Value("a", "plain"), long_value.substr(0, ProfileReader::kMaxValueBytes));
  EXPECT_EQ(reader.Value("a", "quoted"), std::string(2047, 'q'));
  EXPECT_EQ(reader.KeyNames("a").back(), long_key);  // names are never cut
  EXPECT_EQ(reader.Value("a", long_key), "1");
}

// Entries know their line as editors count it: CR LF, LF and CR each end one line, also in a
// file converted from UTF-16.
TEST(ProfileReaderTest, EntriesKnowTheirLineNumbers) {
  const std::string mixed = "; head\r\n[a]\r\n\r\nk=1\rj=2\n\n\r\nl=3";
  const struct {
    std::string contents;
    std::vector<std::uint32_t> lines;
  } cases[] = {
      {mixed, {4, 5, 8}},
      {Utf16(u"; head\r\n[a]\r\n\r\nk=1\rj=2\n\n\r\nl=3", false), {4, 5, 8}},
      {"[a]\n[b]\nk=1\n[a]\nj=2", {5}},
  };
  for (const auto& c : cases) {
    const ProfileReader reader = ProfileReader::FromBytes(c.contents);
    std::vector<std::uint32_t> lines;
    for (std::size_t e = 0; e < reader.EntryCount(0); ++e) {
      lines.push_back(reader.EntryAt(0, e).line);
    }
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(ProfileReaderTest, KeyListHasNoSizeLimit) {
  // 1000 keys of 40 bytes are far beyond the 16384 bytes a Windows key list holds.
  std::string contents = "[a]\n";
  std::vector<std::string> keys;
  for (int i = 0; i < 1000; ++i) {
    keys.push_back("#TC1:1:" + std::to_string(i) + std::string(30, 'x'));
    contents += keys.back() + "=1.3.6.1." + std::to_string(i) + "\n";
  }
  testing_support::TempDirectory dir;
  const ProfileReader reader = ProfileReader::FromFile(dir.Write("keys.ini", contents));
  EXPECT_EQ(reader.KeyNames("a"), keys);
  EXPECT_EQ(reader.Value("a", keys.back()), "1.3.6.1.999");
}

}  // namespace
}  // namespace zelsnmp
