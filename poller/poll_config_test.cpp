#include "poller/poll_config.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

struct WordCase {
  int n;
  const char* text;
  const char* delimiters;
  const char* expected;
};

const WordCase kWordCases[] = {
    {1, "host", ":", "host"},
    {2, "host", ":", ""},
    {1, "host:comm", ":", "host"},
    {2, "host:comm", ":", "comm"},
    {2, "host:", ":", ""},
    {2, "h:c:x", ":", "c"},
    {3, "h:c:x", ":", "x"},
    {4, "h:c:x", ":", ""},
    {1, ":c", ":", ""},
    {2, ":c", ":", "c"},
    {2, "a::b", ":", ""},
    {3, "a::b", ":", "b"},
    {1, "fe80::1", ":", "fe80"},
    {1, " h : c ", ":", " h "},
    {2, " h : c ", ":", " c "},
    {1, "", ":", ""},
    {2, "a,b;c", ",;", "b"},
    {3, "a,b;c", ",;", "c"},
    {1, "a:b", "", "a:b"},
    {0, "a:b", ":", ""},
    {-1, "a:b", ":", ""},
    {INT_MIN, "a:b", ":", ""},
};

class WordAtTest : public testing::TestWithParam<WordCase> {};

TEST_P(WordAtTest, GivesNthWord) {
  const WordCase& c = GetParam();
  EXPECT_EQ(WordAt(c.n, c.text, c.delimiters), c.expected)
      << "n=" << c.n << " text=\"" << c.text << "\" delimiters=\"" << c.delimiters << "\"";
}

INSTANTIATE_TEST_SUITE_P(Table, WordAtTest, testing::ValuesIn(kWordCases));

TEST(AgentEntryTest, HostAndCommunityFromSectionName) {
  struct Case {
    const char* section_name;
    const char* host;
    const char* community;
  };
  const Case cases[] = {
      {"10.0.0.1", "10.0.0.1", "vxkfqz"},
      {"10.0.0.1:", "10.0.0.1", "vxkfqz"},
      {"router:public", "router", "public"},
      {"router:public:extra", "router", "public"},
      {"router::public", "router", "vxkfqz"},
      {":public", "", "public"},
      {"fe80::1", "fe80", "vxkfqz"},
      {"host : comm", "host ", " comm"},
  };
  for (const Case& c : cases) {
    const AgentEntry agent{c.section_name, {}};
    EXPECT_EQ(agent.Host(), c.host) << c.section_name;
    EXPECT_EQ(agent.Community(), c.community) << c.section_name;
  }
}

TEST(PointLineTest, NameAndValueSplitAtFirstEquals) {
  EXPECT_EQ(PointLine{"#TC1:2:3=1.3.6.1"}.Name(), "#TC1:2:3");
  EXPECT_EQ(PointLine{"#TC1:2:3=1.3.6.1"}.Value(), "1.3.6.1");
  EXPECT_EQ(PointLine{"a=b=c"}.Name(), "a");
  EXPECT_EQ(PointLine{"a=b=c"}.Value(), "b=c");
  EXPECT_EQ(PointLine{"a="}.Value(), "");
  EXPECT_EQ(PointLine{"word"}.Name(), "word");
  EXPECT_EQ(PointLine{"word"}.Value(), "");
}

std::vector<std::string> LineTexts(const AgentEntry& agent) {
  std::vector<std::string> texts;
  for (const PointLine& line : agent.lines) texts.push_back(line.text);
  return texts;
}

TEST(LoadPollConfigTest, LoadsAgentsAndLinesInFileOrderAndDeletesFile) {
  testing_support::TempDirectory dir;
  const std::string path = dir.Write(
      "zelSNMP_1_2",
      "; points of the substation\r\n"
      "[10.0.0.1:public]\r\n"
      "#TC5:12:107 = 1.3.6.1.2.1.1.3.0\r\n"
      "#TT1:2:3=1.3.6.1.2.1.2.2.1.10.1\r\n"
      "; #TS1:1:1=1.3.6.1.2.1.1.1.0\r\n"
      "\r\n"
      "[empty-agent]\r\n"
      "[switch]\r\n"
      "#TS1:1:1=1.3.6.1.2.1.1.1.0\r\n"
      "#TS1:1:1=1.3.6.1.2.1.1.2.0\r\n"
      "#XX=1.3.6.1\r\n");
  const PollConfig config = LoadPollConfig(path);

  ASSERT_EQ(config.agents.size(), 3u);
  EXPECT_EQ(config.agents[0].section_name, "10.0.0.1:public");
  EXPECT_EQ(LineTexts(config.agents[0]),
            (std::vector<std::string>{"#TC5:12:107=1.3.6.1.2.1.1.3.0",
                                      "#TT1:2:3=1.3.6.1.2.1.2.2.1.10.1"}));
  EXPECT_EQ(config.agents[1].section_name, "empty-agent");
  EXPECT_TRUE(config.agents[1].lines.empty());
  EXPECT_EQ(config.agents[2].section_name, "switch");
  // The same point given twice keeps each line's own OID; an unknown point form is loaded too.
  EXPECT_EQ(LineTexts(config.agents[2]),
            (std::vector<std::string>{"#TS1:1:1=1.3.6.1.2.1.1.1.0", "#TS1:1:1=1.3.6.1.2.1.1.2.0",
                                      "#XX=1.3.6.1"}));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(LoadPollConfigTest, SeveralHundredAgentsWithLongNamesAllLoaded) {
  // 600 names of about 70 bytes: about 42000 bytes of section names, far beyond the 16384
  // bytes of a Windows section list, which would drop the last agents or cut one in half.
  constexpr int kAgentCount = 600;
  std::string contents;
  std::vector<std::string> names;
  for (int i = 0; i < kAgentCount; ++i) {
    names.push_back("substation-" + std::to_string(i) + "-" + std::string(50, 'r') +
                    ".example:community" + std::to_string(i));
    contents += "[" + names.back() + "]\n";
    contents += "#TC1:" + std::to_string(i) + ":1=1.3.6.1.2.1.1.3.0\n";
    contents += "#TT1:" + std::to_string(i) + ":2=1.3.6.1.4.1." + std::to_string(i) + "\n";
  }
  testing_support::TempDirectory dir;
  const std::string path = dir.Write("many.cfg", contents);
  const PollConfig config = LoadPollConfig(path);

  ASSERT_EQ(config.agents.size(), static_cast<std::size_t>(kAgentCount));
  for (int i = 0; i < kAgentCount; ++i) {
    const AgentEntry& agent = config.agents[i];
    ASSERT_EQ(agent.section_name, names[i]);
    ASSERT_EQ(agent.Community(), "community" + std::to_string(i));
    ASSERT_EQ(agent.lines.size(), 2u) << agent.section_name;
    ASSERT_EQ(agent.lines[1].Value(), "1.3.6.1.4.1." + std::to_string(i));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(LoadPollConfigTest, ValueCutAt2047Characters) {
  const std::string long_oid = "1.3.6.1" + std::string(3000, '9');
  testing_support::TempDirectory dir;
  const PollConfig config = LoadPollConfig(dir.Write("long.cfg", "[a]\n#TC1:1:1=" + long_oid));
  ASSERT_EQ(config.agents.size(), 1u);
  ASSERT_EQ(config.agents[0].lines.size(), 1u);
  EXPECT_EQ(config.agents[0].lines[0].Value(), long_oid.substr(0, 2047));
}

TEST(LoadPollConfigTest, FileWithoutSectionsGivesEmptyListAndIsDeleted) {
  const char* const contents[] = {"", "; only a comment\n#TC1:1:1=1.3.6.1\n", "[]\nk=v\n",
                                  "\xEF\xBB\xBF"};
  testing_support::TempDirectory dir;
  for (const char* text : contents) {
    const std::string path = dir.Write("nothing.cfg", text);
    EXPECT_TRUE(LoadPollConfig(path).agents.empty()) << text;
    EXPECT_FALSE(std::filesystem::exists(path)) << text;
  }
}

TEST(LoadPollConfigTest, MissingFileOrEmptyPathGivesEmptyList) {
  testing_support::TempDirectory dir;
  EXPECT_TRUE(LoadPollConfig("").agents.empty());
  EXPECT_TRUE(LoadPollConfig(dir.PathOf("missing.cfg")).agents.empty());
}

TEST(LoadPollConfigTest, DirectoryAtPathGivesEmptyListAndStays) {
  testing_support::TempDirectory dir;
  const std::string sub = dir.PathOf("sub");
  std::filesystem::create_directory(sub);
  EXPECT_TRUE(LoadPollConfig(sub).agents.empty());
  EXPECT_TRUE(std::filesystem::is_directory(sub));
}

}  // namespace
}  // namespace zelsnmp
